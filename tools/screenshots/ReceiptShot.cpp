// Shows the receipt printer's paper window for a screenshot: loads a
// RECEIPTSIM library through the test host, prints a document (a UTF-8 XML
// file) and opens the cash drawer, then holds the window until the script has
// taken its picture.
//   receiptshot <library> <ready file> <done file> <document.xml>
#include "ReceiptShot.h"
#include "TestHost.h"

#include <cstdio>
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

  std::string error;
  const auto ready = testhost::OpenObject(argv[1], u"Orvik_ReceiptSim_3001", error);
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
  testhost::ValueList print(memory);
  print.AddString(id);
  print.AddString(testhost::Utf8ToUtf16(document.str()));
  testhost::ValueList drawer(memory);
  drawer.AddString(id);
  if (!call(u"PrintTextDocument", print) || !call(u"OpenCashDrawer", drawer)) {
    std::fprintf(stderr, "the printer refused the document\n");
    return 1;
  }
  return HoldPaperWindow(argv[2], argv[3]) ? 0 : 1;
}
