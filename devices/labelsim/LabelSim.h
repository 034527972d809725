// The label printer emulator: a printer of the equipment type
// "ПринтерЭтикеток". A job comes in batches of the labels document: the first
// carries the formatting, which the printer keeps for the batches after it,
// and the last ends the job. Every label of a batch is drawn at the printer's
// resolution before anything is written; then every copy goes to its PNG file
// and every label to the record file in the data folder, and the batch's
// first labels to the window "Принтер этикеток".
#pragma once

#include "DeviceSet.h"
#include "LabelDocument.h"
#include "LabelWindow.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

inline constexpr int32_t kLabelDefaultResolution = 203; // dots per inch
inline constexpr char16_t kLabelEquipmentName[] = u"Эмулятор принтера этикеток";
inline constexpr char16_t kLabelEquipmentType[] = u"ПринтерЭтикеток";

// A batch's place in its job, as PrintLabels' third parameter gives it.
enum class TBatchStatus { First, Regular, Last };

class TLabelSim_3001 : public TSetEmulator {
public:
  TLabelSim_3001() = default;

  std::string ClassName() const override { return "TLabelSim_3001"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;
  void GetParameters(tVariant& result, TParams& params) override;
  void SetParameter(tVariant& result, TParams& params) override;
  void Close(tVariant& result, TParams& params) override;

  void InitializePrinter(tVariant& result, TParams& params);
  void PrintLabels(tVariant& result, TParams& params);

  // Prints a batch of a job of device (its DeviceID as the host gave it).
  // Empty on success, else the message; nothing is written and the job's
  // formatting stays as it was when the batch is refused.
  std::u16string PrintBatch(std::u16string_view device, std::u16string_view xml, TBatchStatus status);

  // "<component>_labels", "<component>_labels.txt" and the lock every
  // process takes to print into them, "<component>_labels.lock", in the data
  // folder.
  std::u16string LabelsFolderName() const;
  std::u16string RecordFileName() const;
  std::u16string LockFileName() const;

  // Settings.
  int32_t Resolution = kLabelDefaultResolution;
  bool ShowOnScreen = true;

  // The formatting of each open device's job, by DeviceID in lower case,
  // from its first batch to its last.
  std::map<std::u16string, TLabelFormatting> Jobs;

private:
  TLabelWindow Window_;
};
