// What the label printer leaves in the data folder for a test or a person:
// every label copy as a PNG file in "<Component>_labels/", and a line per
// label in "<Component>_labels.txt":
//
//   <number> TAB <copies> TAB <field>=<value> ... TAB <file> ...  CR LF
//
// Labels are numbered on from the record file's last line, so that the
// numbers run on across restarts and the files sort in printing order:
// "000007-1.png" is label 7's first copy (the copy's number as wide as the
// label's count of copies). A value's backslash, tab, CR and LF are written
// \\, \t, \r and \n. Processes sharing the data folder print one batch
// at a time into it, each numbering on from the other's last line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A label drawn and encoded, ready to be written.
struct TPrintedLabel {
  int32_t Quantity = 1;
  std::string Png; // every copy's file
  std::vector<std::pair<std::u16string, std::u16string>> Values;
};

// The record line of a label numbered number whose copies are files.
std::u16string LabelRecordLine(int64_t number, const TPrintedLabel& label,
                               const std::vector<std::u16string>& files);

// Writes the labels' files whole (the core's whole-file writes), then their
// record lines, all under the cross-process lock of the file lockFileName in
// the data folder, so that processes printing at once number on from each
// other. Empty on success; else why, naming the file, with every PNG of this
// call taken away again.
std::u16string WriteLabelFiles(std::u16string_view folderName, std::u16string_view recordFileName,
                               std::u16string_view lockFileName, const std::vector<TPrintedLabel>& labels);
