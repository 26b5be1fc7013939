#include "render/types.h"

namespace QEL {

const Color Color::white(1, 1, 1, 1);
const Color Color::red(1, 0, 0, 1);
const Color Color::green(0, 1, 0, 1);
const Color Color::blue(0, 0, 1, 1);
const Color Color::yellow(1, 1, 0, 1);
const Color Color::cyan(0, 1, 1, 1);
const Color Color::magenta(1, 0, 1, 1);
const Color Color::black(0, 0, 0, 1);
const Color Color::grey(0.5f, 0.5f, 0.5f, 1);

const intColor intColor::white(255, 255, 255, 255);
const intColor intColor::red(255, 0, 0, 255);
const intColor intColor::green(0, 255, 0, 255);
const intColor intColor::blue(0, 0, 255, 255);
const intColor intColor::yellow(255, 255, 0, 255);
const intColor intColor::cyan(0, 255, 255, 255);
const intColor intColor::magenta(255, 0, 255, 255);
const intColor intColor::black(0, 0, 0, 255);
const intColor intColor::transparent(0, 0, 0, 0);

}  // namespace QEL
