// The two hand keys, in one place for the handlers, the SDL translation and the tests.
//
// Each hand key is one physical key, whatever character the active layout puts on it: the
// left-hand key is the key right of Tab (Q and Й on a Russian keyboard, A on a French one), the
// right-hand key the one left of the upper part of Enter (] and Ъ; ї in Ukrainian, ' in
// Belarusian, + in German). A press is therefore recognised by the key's position, never by the
// character it types; the characters of the Russian keyboard stay in the table because KeyPress
// still takes them as hand keys.
#pragma once

namespace tavrik {

struct HandKeyTable {
  // The key's place on the ISO 9995 keyboard grid: row D, the row that starts with Tab, columns
  // 01 and 12. The X keyboard extension names these keys <AD01> and <AD12>.
  const char* iso_position;
  // Its USB HID keyboard usage, which SDL reports as the scan code of the key.
  int scancode;
  // The code a press of the key hands to KeyPress: its Latin character without Shift, which no
  // rule of the name screen takes.
  int code;
  // Every Windows-1251 code KeyPress takes for this hand: what the key types on a Russian
  // keyboard in either layout, with or without Shift.
  int codes[4];
};

// q, Q, Й, й.
constexpr HandKeyTable kLeftHandKey{"D01", 20, 113, {113, 81, 201, 233}};
// }, ], ъ, Ъ.
constexpr HandKeyTable kRightHandKey{"D12", 48, 93, {125, 93, 250, 218}};

constexpr bool IsHandCode(const HandKeyTable& key, int code) {
  for (const int c : key.codes) {
    if (c == code) return true;
  }
  return false;
}

}  // namespace tavrik
