// The seven rows of the sprite catalogue.
#include "shell/sprite_catalogue.h"

namespace tavrik {

const std::array<CatalogueRow, kCatalogueSize> kCatalogue = {{
    {"Курсор.bmp", &Form1::CursorSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.CursorHeight = h;
       s.CursorWidth = w;
     }},
    {"Полоска.bmp", &Form1::StripSprite, kKeyWhite,
     [](SessionState& s, Single h, Single w) {
       s.StripHeight = h;
       s.StripWidth = w;
     }},
    {"Индикатор.bmp", &Form1::IndicatorSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.IndicatorHeight = h;
       s.IndicatorCellWidth = w / 4;
     }},
    {"Шарик.bmp", &Form1::BallSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.BallHeight = h;
       s.BallWidth = w;
     }},
    {"Кнопки.bmp", &Form1::ButtonsSprite, kKeyWhite,
     [](SessionState& s, Single h, Single w) {
       s.ButtonCellHeight = h / 3;
       s.ButtonCellWidth = w / 2;
     }},
    {"Рамка.bmp", &Form1::FrameSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.FrameHeight = h;
       s.FrameCellWidth = w / 2;
     }},
    {"Текст.bmp", &Form1::TextSprite, kKeyBlack,
     [](SessionState& s, Single h, Single w) {
       s.TextHeight = h;
       s.TextWidth = w;
       s.TextCellHeight = s.TextHeight / 8;
       s.TextCellWidth = s.TextWidth / 6;
     }},
}};

}  // namespace tavrik
