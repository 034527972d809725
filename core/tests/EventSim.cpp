// EVENTSIM: a test device that sends events, never shipped. At Open it raises
// the host's event queue, starts its events and watches its input spool; each
// item of the spool becomes the event "Штрихкод" from the DeviceID. Close
// stops both, and so does the object's end.
#include "DeviceSet.h"
#include "v8napi.h"

namespace {

class TEventSim_3001 : public TSetEmulator {
public:
  ~TEventSim_3001() override { StopInput(); } // the handler uses this object

  std::string ClassName() const override { return "TEventSim_3001"; }

  void Open(tVariant& result, TParams& params) override {
    TSetEmulator::Open(result, params);
    if (TypeOf(result) != VTYPE_BOOL || !result.bVal)
      return;
    source_ = LastDeviceID; // read by the spool's thread, which starts below
    RaiseEventBuffer(10);
    StartEvents();
    StartInput();
  }

  void OnInputItem(std::u16string_view item, std::u16string_view) override {
    PostEvent(source_, u"Штрихкод", item);
  }

  void Close(tVariant& result, TParams& params) override {
    TSetEmulator::Close(result, params);
    if (TypeOf(result) == VTYPE_BOOL && result.bVal && DeviceList.empty()) {
      StopInput();
      StopEvents();
    }
  }

private:
  std::u16string source_;
};

const ClassRegistration registration{RegisterUserClass<TEventSim_3001>, u"Orvik_EventSim_3001"};

} // namespace
