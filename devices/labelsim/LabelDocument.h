// The labels document behind PrintLabels, kept apart from the emulator object
// so that it can be checked and fuzzed directly.
//
//   <Data>
//     <Formatting Width="58" Height="40">
//       <Text FieldName="Name" Left="2" Top="2" Width="54" Height="8" FontSize="10"
//             FontStyle="Bold" Align="Center" Multiline="true"/>
//       <Barcode FieldName="Code" Type="EAN13" Left="4" Top="12" Height="15" FontSize="8"/>
//       <Image FieldName="Logo" Left="40" Top="30" Static="true" Value="<Base64>"/>
//       <UserData FieldName="Article"/>
//     </Formatting>
//     <Labels>
//       <Label Quantity="2">
//         <Record FieldName="Name" Value="Кофе"/>
//         <Record FieldName="Code" Value="4601234567893"/>
//       </Label>
//     </Labels>
//   </Data>
//
// Read as strictly as the receipt printer's document, by the same parser and
// with the same kind of messages (XmlCheck.h): element and attribute names
// compared with A-Z folded, other elements and attributes passed over.
#pragma once

#include "LabelPicture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The most copies one batch prints, all its labels together.
inline constexpr int32_t kLabelCopiesLimit = 1000;
// The largest measure of a label or an item, in millimetres.
inline constexpr double kLabelMeasureLimit = 1000;

enum class TFieldKind { Text, Barcode, Image, UserData };

// A field of the formatting: how it is drawn (Item, with an empty value) and
// the value it takes when no Record gives one (a static field always takes
// it). An image's value is the file's bytes, decoded from Base64.
struct TLabelField {
  TFieldKind Kind = TFieldKind::Text;
  std::u16string Name;
  bool Static = false;
  std::u16string Value;   // Text, Barcode, UserData
  std::string ImageBytes; // Image
  label::TLabelItem Item; // Text, Barcode, Image
};

struct TLabelFormatting {
  double Width = 0; // millimetres
  double Height = 0;
  std::vector<TLabelField> Fields; // in document order
};

// A label of the Labels element: its copies and its records, as given.
struct TLabelRecords {
  int32_t Quantity = 1;
  std::vector<std::pair<std::u16string, std::u16string>> Records; // FieldName, Value
};

struct TLabelsBatch {
  std::optional<TLabelFormatting> Formatting; // only the batch that starts a job has one
  std::vector<TLabelRecords> Labels;
};

// A label ready to draw: its picture and each field's final value as the
// labels record shows it (an image as its size in bytes).
struct TResolvedLabel {
  int32_t Quantity = 1;
  label::TLabelPicture Picture;
  std::vector<std::pair<std::u16string, std::u16string>> Values; // every field, in formatting order
};

// Reads a document, UTF-16 as the host passes it. Empty when it is accepted,
// batch then holding it; else the message for LastErrorText. The root is
// "Data", holding one "Labels" and at most one "Formatting":
// - Formatting: Width and Height, millimetres above 0; its fields Text,
//   Barcode, Image and UserData, each with a FieldName of its own;
// - Text: Left, Top, Width, Height and FontSize required; FontName,
//   FontStyle (Bold Italic Underline StrikeOut), Orientation (0, 90, 180,
//   270), Border (Left Top Right Bottom), BorderWidth (dots, 1), BorderStyle
//   (Solid, Dotted, Dashed, Double), Align (Left, Center, Right), VAlign (Top,
//   Center, Bottom), Multiline, Static, Value;
// - Barcode: Type (EAN8, EAN13, EAN128, Code39, Code128, Code16k, Code93,
//   PDF417, DataMatrix, QRCode, ITF14, EAN13Addon2, EAN13Addon5,
//   GS1DataBarExpandedStacked, any letter case; QR taken for QRCode), Left,
//   Top and Height required; Width, Orientation, PrintHRI (true: then
//   FontSize is required), CheckSymbol (true), Static, the value as
//   ValueBase64 (its UTF-8) or, as older revisions give it, Value; a static
//   barcode needs one;
// - Image: Left and Top required; Width, Height, Orientation, the borders,
//   Static, Value (the file in Base64; a static image needs one);
// - UserData: Static, Value;
// - Labels: Label elements of Quantity copies (1) holding Record FieldName
//   Value, each naming a non-static field of the formatting at most once; all
//   labels together at most kLabelCopiesLimit copies.
// Measures are decimals with a dot or a comma; booleans true/false or 1/0.
// The records are checked against the formatting by ResolveLabel.
std::u16string ReadLabelsDocument(std::u16string_view xml, TLabelsBatch& batch);

// One label of a batch with the job's formatting: every field's final value
// (the record's, else the formatting's) put into its picture; a barcode or an
// image without a value is left out of the picture. Empty when it resolves,
// else the message: a record of a field the formatting lacks or of a static
// field, an image record that is no Base64.
std::u16string ResolveLabel(const TLabelFormatting& formatting, const TLabelRecords& label,
                            TResolvedLabel& resolved);
