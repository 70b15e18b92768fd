#include "fx2d/FxColor.h"

#include "image/CImage32.h"

void FxColor::apply(CImage32* image, Mode mode, uint32_t colour)
{
    if (!image) return;
    switch (mode) {
    case Mode::Add:
        if (colour != 0) image->addColor(colour);
        break;
    case Mode::Sub:
        if (colour != 0) image->subColor(colour);
        break;
    case Mode::Mask: image->maskPixel(colour); break;
    case Mode::Invert: image->invert(); break;
    case Mode::Gray: image->toGrey(); break;
    case Mode::Red: image->toGreyRed(); break;
    case Mode::Green: image->toGreyGreen(); break;
    case Mode::Blue: image->toGreyBlue(); break;
    default: break;
    }
}
