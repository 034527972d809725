// The label printer emulator object: settings, the two printer methods, the
// jobs' batches and what a printed batch leaves behind.
#include "LabelSim.h"

#include "LabelFiles.h"
#include "TextCodec.h"

#include <cmath>

namespace {

constexpr int32_t kResolutions[] = {203, 300, 600};
// The most bytes of PNG files one batch writes, all copies together: what
// keeps a batch of a thousand large labels from filling the disk.
constexpr uint64_t kBatchBytesLimit = 256ull << 20;

} // namespace

void TLabelSim_3001::AfterConstruction() {
  EquipmentName = kLabelEquipmentName;
  EquipmentType = kLabelEquipmentType;
  TSetEmulator::AfterConstruction();
}

void TLabelSim_3001::RegisterDeviceMethods() {
  RegisterMethodTable(LabelPrinterMethods);
}

void TLabelSim_3001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_InitializePrinter:
    InitializePrinter(result, params);
    break;
  case m_PrintLabels:
    PrintLabels(result, params);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

void TLabelSim_3001::GetParameters(tVariant& result, TParams& params) {
  static constexpr TSettingParameter kParameters[] = {
      {u"Resolution", u"Разрешение, точек на дюйм (203, 300 или 600)", u"Number", u"203"},
      {u"Show", u"Показывать на экране", u"Boolean", u"true"},
  };
  params.SetText(0, DeviceSettingsXml(kParameters, LogFilePath));
  SetResult(result, true);
}

// Names in any letter case; a resolution the printer has not is refused and
// the setting stays; other names are taken and ignored, as a real driver's
// own settings (port, darkness, speed) mean nothing here.
void TLabelSim_3001::SetParameter(tVariant& result, TParams& params) {
  const std::u16string_view name = params.TextView(0);
  if (EqualIgnoringAsciiCase(name, u"Resolution")) {
    const double value = params.Double(1);
    for (const int32_t known : kResolutions)
      if (value == known) {
        Resolution = known;
        return SetResult(result, true);
      }
    return Fail(result, u"Неверное значение параметра Resolution, ожидается 203, 300 или 600");
  }
  if (EqualIgnoringAsciiCase(name, u"Show"))
    ShowOnScreen = params.Bool(1);
  SetResult(result, true);
}

void TLabelSim_3001::Close(tVariant& result, TParams& params) {
  Jobs.erase(LowerAscii(params.TextView(0)));
  TSetEmulator::Close(result, params);
  if (DeviceList.empty())
    Window_.Destroy();
}

void TLabelSim_3001::InitializePrinter(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  Jobs.erase(LowerAscii(params.TextView(0)));
  SetResult(result, true);
}

void TLabelSim_3001::PrintLabels(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  const std::u16string_view statusText = params.TextView(2);
  TBatchStatus status = TBatchStatus::First;
  if (EqualIgnoringAsciiCase(statusText, u"first"))
    status = TBatchStatus::First;
  else if (EqualIgnoringAsciiCase(statusText, u"regular"))
    status = TBatchStatus::Regular;
  else if (EqualIgnoringAsciiCase(statusText, u"last"))
    status = TBatchStatus::Last;
  else
    return Fail(result, u"Неверный статус пакета \"" + std::u16string(statusText.substr(0, 32)) +
                            u"\", ожидается first, regular или last");
  if (const std::u16string fault = PrintBatch(params.TextView(0), params.TextView(1), status); !fault.empty())
    return Fail(result, fault);
  SetResult(result, true);
}

std::u16string TLabelSim_3001::PrintBatch(std::u16string_view device, std::u16string_view xml,
                                          TBatchStatus status) {
  TLabelsBatch batch;
  if (std::u16string fault = ReadLabelsDocument(xml, batch); !fault.empty())
    return fault;
  // The job's formatting: the first batch brings it, the others use it; a
  // last batch with a formatting of its own is a whole job by itself.
  const std::u16string key = LowerAscii(device);
  const auto job = Jobs.find(key);
  const TLabelFormatting* formatting = nullptr;
  if (status == TBatchStatus::First) {
    if (!batch.Formatting)
      return u"В первом пакете (first) нет элемента \"Formatting\"";
    formatting = &*batch.Formatting;
  } else if (batch.Formatting) {
    if (status == TBatchStatus::Regular)
      return u"Элемент \"Formatting\" передаётся только в первом пакете (first), а не в пакете regular";
    formatting = &*batch.Formatting;
  } else if (job == Jobs.end()) {
    return u"Пакет " + std::u16string(status == TBatchStatus::Regular ? u"regular" : u"last") +
           u" без первого пакета (first): форматирование этикеток не задано";
  } else {
    formatting = &job->second;
  }

  // Every label is drawn, its copies alike, before anything is written.
  std::vector<TPrintedLabel> printed;
  std::vector<label::TBitmap> shown; // the first labels, for the window
  uint64_t bytes = 0;
  for (const TLabelRecords& records : batch.Labels) {
    TResolvedLabel resolved;
    if (std::u16string fault = ResolveLabel(*formatting, records, resolved); !fault.empty())
      return fault;
    label::TBitmap bitmap;
    if (std::u16string fault = label::DrawLabel(resolved.Picture, Resolution, bitmap); !fault.empty())
      return fault;
    printed.push_back({resolved.Quantity, label::EncodePng(bitmap, Resolution), std::move(resolved.Values)});
    if (printed.back().Png.empty()) // no file is better than an empty one named as a label
      return u"Не удалось получить файл PNG этикетки";
    bytes += printed.back().Png.size() * static_cast<uint64_t>(resolved.Quantity);
    if (bytes > kBatchBytesLimit)
      return u"Слишком большой пакет этикеток: файлы его копий заняли бы больше " +
             Decimal(static_cast<long long>(kBatchBytesLimit >> 20)) + u" МБ";
    if (shown.size() < kLabelWindowLabels)
      shown.push_back(std::move(bitmap));
  }
  // What can fail besides the files is done before them: the job's new
  // formatting made ready, the window's pictures scaled, the operator's
  // setting read. Once the files are written only what cannot fail is left,
  // so that a call that fails has changed nothing and one that wrote its
  // files succeeds.
  std::map<std::u16string, TLabelFormatting> started;
  if (status == TBatchStatus::First)
    started.emplace(key, std::move(*batch.Formatting));
  std::vector<TScreenLabel> screen;
  if (!shown.empty() && ShowOnScreen && OperatorSetting().Mode == TOperatorMode::Dialog)
    screen = ScreenLabels(shown, Resolution);
  if (std::u16string fault = WriteLabelFiles(LabelsFolderName(), RecordFileName(), LockFileName(), printed);
      !fault.empty())
    return fault;

  if (status != TBatchStatus::Regular)
    Jobs.erase(key);
  if (!started.empty())
    Jobs.insert(started.extract(started.begin()));
  if (!screen.empty()) {
    try {
      Window_.Show(std::move(screen), EquipmentName);
    } catch (...) { // the labels are printed; a window that cannot be shown now is shown by the next batch
    }
  }
  return {};
}

std::u16string TLabelSim_3001::LabelsFolderName() const {
  return Utf8ToUtf16(ComponentName) + u"_labels";
}

std::u16string TLabelSim_3001::RecordFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_labels.txt";
}

std::u16string TLabelSim_3001::LockFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_labels.lock";
}
