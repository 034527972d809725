#pragma once

#include <string>
#include <string_view>

// The goods-list check behind UploadGoods (GoodsList.cpp, LowerCase.cpp), kept
// apart from the emulator object so that it can be driven directly. Each check
// gives an empty text when its input is accepted, else the message for
// LastErrorText.

// The package status: "first", "regular" or "last" after lower-casing.
std::u16string CheckPackageStatus(std::u16string_view status);

// The goods list, UTF-16 as the host passes it, read where it lies. A
// document that is not well-formed XML 1.0 is refused first, with the
// parser's error in Russian and where it was found ("(строка 3, позиция 17)":
// lines and characters counted from 1); then the root, then each Record in
// document order, the first fault winning.
std::u16string CheckGoodsXml(std::u16string_view goods);

// The status, then the goods list, in that order: everything UploadGoods
// checks after the DeviceID.
std::u16string CheckGoodsUpload(std::u16string_view goods, std::u16string_view status);

// Price syntax, after every "," has been read as ".": an optional sign, then
// digits with an optional fraction ("12", "12.50", "12.", ".5", "-3"); no
// exponent, no blanks, no digit grouping.
bool IsDecimalNumber(std::string_view text);
