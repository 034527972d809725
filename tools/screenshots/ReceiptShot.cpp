// Shows a paper window for a screenshot and holds it until the script has
// taken its picture. The library's name says which device it is:
// - a RECEIPTSIM library (the receipt printer): prints a text document (a
//   UTF-8 XML file) and opens the cash drawer;
// - a FISCALSIM library (the fiscal register): opens a shift (closing first
//   one that an earlier run left open in the same data folder) and sells the
//   receipt of a CheckPackage (a UTF-8 XML file), which ends in its QR code;
// - a LABELSIM library (the label printer): prints a labels document (a UTF-8
//   XML file) as a whole job, and its window shows the first labels.
//   receiptshot <library> <ready file> <done file> <document.xml>
#include "ReceiptShot.h"
#include "TestHost.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: receiptshot <library> <ready file> <done file> <document.xml>\n");
    return 2;
  }
  std::ifstream in(argv[4], std::ios::binary);
  std::ostringstream document;
  document << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[4]);
    return 1;
  }
  const std::string file = std::filesystem::path(argv[1]).filename().string();
  const bool fiscal = file.starts_with("FISCALSIM");
  const bool labels = file.starts_with("LABELSIM");

  std::string error;
  const auto ready = testhost::OpenObject(argv[1],
                                          fiscal   ? u"Orvik_FiscalSim_3004"
                                          : labels ? u"Orvik_LabelSim_3001"
                                                   : u"Orvik_ReceiptSim_3001",
                                          error);
  if (!ready) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  testhost::CountingMemory& memory = ready->memory;
  testhost::Component& printer = *ready->component;
  const auto call = [&](const char16_t* method, testhost::ValueList& params) {
    tVariant result = testhost::EmptyValue();
    const bool done = printer.CallAsFunc(printer.RequireMethod(method), result, params) &&
                      testhost::TypeOf(result) == VTYPE_BOOL && result.bVal;
    testhost::ReleaseValue(memory, result);
    return done;
  };

  testhost::ValueList open(memory);
  open.Add(testhost::EmptyValue());
  call(u"Open", open);
  const std::u16string id = testhost::TextOf(open[0]);
  const std::u16string text = testhost::Utf8ToUtf16(document.str());
  if (labels) {
    testhost::ValueList print(memory);
    print.AddString(id);
    print.AddString(text);
    print.AddString(u"last");
    if (!call(u"PrintLabels", print)) {
      std::fprintf(stderr, "the printer refused the labels\n");
      return 1;
    }
    return HoldPaperWindow("LabelSim_", argv[2], argv[3]) ? 0 : 1;
  }
  if (!fiscal) {
    testhost::ValueList print(memory);
    print.AddString(id);
    print.AddString(text);
    testhost::ValueList drawer(memory);
    drawer.AddString(id);
    if (!call(u"PrintTextDocument", print) || !call(u"OpenCashDrawer", drawer)) {
      std::fprintf(stderr, "the printer refused the document\n");
      return 1;
    }
    return HoldPaperWindow("ReceiptSim_", argv[2], argv[3]) ? 0 : 1;
  }

  const auto shift = [&](const char16_t* method) {
    testhost::ValueList params(memory);
    params.AddString(id);
    params.AddString(u"<InputParameters><Parameters CashierName=\"Иванова И. И.\"/></InputParameters>");
    params.Add(testhost::EmptyValue());
    return call(method, params);
  };
  // A shift left open (or expired) by an earlier run is closed first.
  if (!shift(u"OpenShift") && !(shift(u"CloseShift") && shift(u"OpenShift"))) {
    std::fprintf(stderr, "the register opened no shift\n");
    return 1;
  }
  testhost::ValueList check(memory);
  check.AddString(id);
  check.Add(testhost::BoolValue(false));
  check.AddString(text);
  check.Add(testhost::EmptyValue());
  if (!call(u"ProcessCheck", check)) {
    std::fprintf(stderr, "the register refused the receipt\n");
    return 1;
  }
  return HoldPaperWindow("FiscalSim_", argv[2], argv[3]) ? 0 : 1;
}
