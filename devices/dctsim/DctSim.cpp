// The data collection terminal emulator object: its three methods, the state
// in the data folder and the input window's handler.
#include "DctSim.h"

#include "CallLog.h"
#include "HeldLock.h"
#include "TextCodec.h"
#include "dctsim_dialogs.h"
#include "v8napi.h"

#include <fstream>
#include <iterator>

namespace {

// The window's controls (resources/dctsim.rc).
constexpr int kCodeField = 100;
constexpr int kQuantityField = 101;
constexpr int kReasonLabel = 103;
constexpr int kCollectedLabel = 104;
constexpr int kFirstGoodButton = 111;

// A state file larger than this is refused rather than read.
constexpr uintmax_t kStateFileLimit = 512u * 1024 * 1024;

constexpr int32_t kDctParams[] = {3, 2, 1};
constexpr int32_t kDctIds[] = {m_UploadTable, m_DownloadTable, m_ClearTable};

const TMethodTable& DataCollectionTerminalMethods() {
  static const TMethodTable table{DataCollectionTerminalNames.English, DataCollectionTerminalNames.Russian,
                                  kDctParams, kDctIds};
  return table;
}

std::u16string Trimmed(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t' || text.front() == u'\u00A0'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\u00A0'))
    text.remove_suffix(1);
  return std::u16string(text);
}

// The whole text of a file, or the reason it could not be read; a missing
// file is empty text.
std::u16string ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  std::error_code error;
  if (!std::filesystem::exists(path, error))
    return error ? TCallLog::ErrorText(error.value()) : std::u16string();
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (error)
    return TCallLog::ErrorText(error.value());
  if (size > kStateFileLimit)
    return u"файл больше " + Decimal(static_cast<long long>(kStateFileLimit)) + u" байт";
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return u"файл не открывается";
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad())
    return u"ошибка чтения";
  return {};
}

} // namespace

TDctSim_3001::~TDctSim_3001() {
  try {
    CloseWindow();
  } catch (...) { // a destructor never throws to the host
  }
}

void TDctSim_3001::AfterConstruction() {
  EquipmentName = kDctEquipmentName;
  EquipmentType = kDctEquipmentType;
  TSetEmulator::AfterConstruction();
}

void TDctSim_3001::RegisterDeviceMethods() {
  RegisterMethodTable(DataCollectionTerminalMethods());
}

void TDctSim_3001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_UploadTable:
    UploadTable(result, params);
    break;
  case m_DownloadTable:
    DownloadTable(result, params);
    break;
  case m_ClearTable:
    ClearTable(result, params);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

void TDctSim_3001::GetParameters(tVariant& result, TParams& params) {
  static constexpr TSettingParameter kParameters[] = {
      {u"Show", u"Показывать окно терминала", u"Boolean", u"true"},
  };
  SetResult(result, params.SetText(0, DeviceSettingsXml(kParameters, LogFilePath)));
}

// Names in any letter case; the settings of a real terminal's driver (port,
// speed and the like) mean nothing here and are taken and ignored.
void TDctSim_3001::SetParameter(tVariant& result, TParams& params) {
  if (EqualIgnoringAsciiCase(params.TextView(0), u"Show"))
    ShowOnScreen = params.Bool(1);
  SetResult(result, true);
}

void TDctSim_3001::Open(tVariant& result, TParams& params) {
  TSetEmulator::Open(result, params);
  if (TypeOf(result) != VTYPE_BOOL || !result.bVal)
    return;
  if (ShowOnScreen && OperatorSetting().Mode == TOperatorMode::Dialog)
    OpenWindow();
}

void TDctSim_3001::Close(tVariant& result, TParams& params) {
  TSetEmulator::Close(result, params);
  if (TypeOf(result) == VTYPE_BOOL && result.bVal && DeviceList.empty())
    CloseWindow();
}

std::u16string TDctSim_3001::StateFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_terminal.xml";
}

std::u16string TDctSim_3001::CollectedFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_collected.txt";
}

std::u16string
TDctSim_3001::Change(const std::function<std::u16string(TTerminalState&, bool& write)>& change) {
  const std::lock_guard threads(stateLock_);
  int error = 0;
  const std::filesystem::path folder = TCallLog::DataFolder(true, &error);
  if (folder.empty())
    return u"Не найдена папка данных эмулятора: " + TCallLog::ErrorText(error);
  const std::filesystem::path lockPath =
      folder / std::filesystem::path(Utf8ToUtf16(ComponentName) + u"_terminal.lock");
  const THeldLock held(lockPath, u"блокировку");
  if (!held.Error().empty())
    return held.Error();

  const std::filesystem::path statePath = folder / std::filesystem::path(StateFileName());
  std::string bytes;
  if (std::u16string reason = ReadWholeFile(statePath, bytes); !reason.empty())
    return u"Не удалось прочитать файл " + TCallLog::DisplayPath(statePath) + u": " + reason;
  TTerminalState state;
  if (!bytes.empty()) {
    if (std::u16string fault = ReadStateXml(Utf8ToUtf16(bytes), state); !fault.empty())
      return u"Файл состояния терминала " + TCallLog::DisplayPath(statePath) + u" повреждён (" + fault +
             u"); удалите его, чтобы начать с пустого терминала";
  }
  bool write = false;
  if (std::u16string reason = change(state, write); !reason.empty())
    return reason;
  if (!write)
    return {};
  const TDataFileResult written = WriteDataFile(StateFileName(), StateXml(state));
  return written ? std::u16string() : written.FailureText(u"состояние терминала");
}

void TDctSim_3001::Record(const std::vector<TCollected>& taken) {
  std::u16string text;
  for (const TCollected& record : taken)
    text += RecordText(record.Code) + u"\t" + QuantityText(record.Milli) + u"\r\n";
  if (text.empty())
    return;
  if (const TDataFileResult written = AppendDataFile(CollectedFileName(), text); !written)
    WriteLog(written.FailureText(u"собранные записи"));
}

void TDctSim_3001::UploadTable(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  std::u16string message;
  const std::u16string status = ReadPackageStatus(params.TextView(2), message);
  if (status.empty())
    return Fail(result, message);
  TGoodsBatch batch;
  if (std::u16string fault = ReadGoodsTable(params.TextView(1), batch); !fault.empty())
    return Fail(result, fault);
  const size_t count = batch.Goods.size();
  bool finished = false;
  TTerminalState shown;
  message = Change([&](TTerminalState& state, bool& write) {
    std::u16string reason = ApplyBatch(state, status, std::move(batch));
    write = reason.empty();
    finished = !state.UploadOpen;
    shown = state;
    return reason;
  });
  if (!message.empty())
    return Fail(result, message);
  NoteInLog(u"Принято товаров в пакете: " + Decimal(static_cast<long long>(count)) +
            (finished ? u"; выгрузка завершена, товаров в терминале: " +
                            Decimal(static_cast<long long>(shown.Goods.size()))
                      : std::u16string(u"; выгрузка продолжается")));
  if (finished)
    ShowState(shown, nullptr);
  SetResult(result, true);
}

void TDctSim_3001::DownloadTable(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  const TOperatorSetting setting = ReadOperatorSetting();
  std::vector<std::u16string> lines;
  for (const auto& [key, value] : setting.Values)
    if (key == u"collect")
      lines.push_back(value);
  std::vector<TCollected> taken;
  std::u16string xml;
  TTerminalState shown;
  const std::u16string message = Change([&](TTerminalState& state, bool& write) {
    for (const std::u16string& line : NewLines(lines, state.Taken)) {
      TCollected record;
      if (std::u16string reason = ReadCollectLine(line, record.Code, record.Milli); !reason.empty())
        return u"Строка \"collect=" + RecordText(line) + u"\" файла " + setting.ValuesFile + u": " + reason;
      if (std::u16string reason = Collect(state, record.Code, record.Milli); !reason.empty())
        return reason;
      taken.push_back(std::move(record));
    }
    write = state.Taken != lines;
    state.Taken = lines;
    xml = DownloadXml(state);
    shown = state;
    return std::u16string();
  });
  if (!message.empty())
    return Fail(result, message);
  Record(taken);
  for (const TCollected& record : taken)
    NoteInLog(u"Собрано из файла управления: " + RecordText(record.Code) + u";" + QuantityText(record.Milli));
  if (!taken.empty())
    ShowState(shown, &taken.back().Code);
  if (!params.SetText(1, xml))
    return Fail(result, u"Не удалось передать таблицу: нет памяти");
  SetResult(result, true);
}

void TDctSim_3001::ClearTable(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  TTerminalState shown;
  const std::u16string message = Change([&](TTerminalState& state, bool& write) {
    write = !state.Collected.empty();
    state.Collected.clear();
    shown = state;
    return std::u16string();
  });
  if (!message.empty())
    return Fail(result, message);
  ShowState(shown, nullptr);
  SetResult(result, true);
}

std::u16string TDctSim_3001::CollectTyped(std::u16string_view code, std::u16string_view quantity) {
  TCollected record{Trimmed(code), 1000};
  if (record.Code.empty())
    return u"Пустой штрихкод";
  if (!Trimmed(quantity).empty())
    if (std::u16string reason = ReadQuantity(quantity, record.Milli); !reason.empty())
      return reason;
  TTerminalState shown;
  const std::u16string message = Change([&](TTerminalState& state, bool& write) {
    std::u16string reason = Collect(state, record.Code, record.Milli);
    write = reason.empty();
    shown = state;
    return reason;
  });
  if (!message.empty()) {
    WriteLog(u"Запись не собрана: " + message);
    return message;
  }
  WriteLog(u"Собрано в окне терминала: " + RecordText(record.Code) + u";" + QuantityText(record.Milli));
  Record({record});
  ShowState(shown, &record.Code);
  return {};
}

// ---------------------------------------------------------------------------
// The window (its handler runs on the window's thread)

std::u16string TDctSim_3001::Submit(std::span<const std::u16string> fields) {
  return CollectTyped(fields.empty() ? u"" : fields[0], fields.size() < 2 ? u"" : fields[1]);
}

void TDctSim_3001::Command(int id) {
  const std::lock_guard lock(windowLock_);
  const int index = id - kFirstGoodButton;
  if (index < 0 || static_cast<size_t>(index) >= buttonCodes_.size() || windowView_ == nullptr)
    return;
  windowView_->SetTexts({{kCodeField, buttonCodes_[static_cast<size_t>(index)]}});
}

std::vector<std::u16string> TDctSim_3001::GoodsButtons() {
  const std::lock_guard lock(windowLock_);
  return buttonTexts_;
}

std::u16string TDctSim_3001::CollectedLabel() {
  const std::lock_guard lock(windowLock_);
  return label_;
}

void TDctSim_3001::ShowState(const TTerminalState& state, const std::u16string* lastCode) {
  std::vector<std::u16string> codes, texts;
  for (size_t i = 0; i < kDctGoodsButtons; ++i) {
    if (i < state.Goods.size()) {
      const TGood& good = state.Goods[i];
      const std::u16string name = good.Attribute(u"Name");
      codes.push_back(good.Code);
      texts.push_back(RecordText(good.Code) + (name.empty() ? u"" : u"  " + name));
    } else {
      codes.emplace_back();
      texts.emplace_back();
    }
  }
  std::u16string label = u"Собрано позиций: " + Decimal(static_cast<long long>(state.Collected.size()));
  if (lastCode != nullptr) {
    const TGood* good = state.FindGood(*lastCode);
    const std::u16string name = good != nullptr ? good->Attribute(u"Name") : std::u16string();
    int64_t total = 0;
    for (const TCollected& record : state.Collected)
      if (record.Code == *lastCode)
        total = record.Milli;
    label = u"Последний: " + (name.empty() ? RecordText(*lastCode) + u" (нет в товарах)" : name) +
            u", всего " + QuantityText(total) + u". " + label;
  }
  const std::lock_guard lock(windowLock_);
  buttonCodes_ = std::move(codes);
  buttonTexts_ = texts;
  label_ = label;
  if (windowView_ == nullptr)
    return;
  std::vector<std::pair<int, std::u16string>> update{{kCollectedLabel, label}};
  for (size_t i = 0; i < texts.size(); ++i)
    update.emplace_back(kFirstGoodButton + static_cast<int>(i), std::move(texts[i]));
  windowView_->SetTexts(std::move(update));
}

void TDctSim_3001::OpenWindow() {
  {
    const std::lock_guard lock(windowLock_);
    if (window_ != nullptr && window_->Open())
      return; // one window for every device of the object
  }
  CloseWindow();
  ui::TInputWindowSpec spec;
  spec.Template = &dialogs::ORVIK_DLG_DCT;
  spec.ClassName = "DctSim";
  spec.X = kDctWindowX;
  spec.Y = kDctWindowY;
  spec.KeepAbove = true;
  spec.Fields = {kCodeField, kQuantityField};
  spec.ReasonId = kReasonLabel;
  std::unique_ptr<ui::TInputWindow> window = ui::OpenInputWindow(spec, *this);
  {
    const std::lock_guard lock(windowLock_);
    window_ = std::move(window);
    windowView_ = window_.get();
  }
  TTerminalState shown;
  const std::u16string message = Change([&](TTerminalState& state, bool&) {
    shown = std::move(state);
    return std::u16string();
  });
  if (!message.empty())
    WriteLog(message);
  ShowState(shown, nullptr);
}

void TDctSim_3001::CloseWindow() {
  std::unique_ptr<ui::TInputWindow> window;
  {
    const std::lock_guard lock(windowLock_);
    windowView_ = nullptr;
    window = std::move(window_);
  }
  window.reset(); // waits for a handler call in progress, which may take windowLock_
}
