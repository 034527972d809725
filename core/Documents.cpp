// The XML documents a driver hands the host, built by plain concatenation.
#include "DeviceSet.h"

const char16_t* const kMakerAddinPage = u"https://orvik.example/emulators";

std::u16string XmlEscape(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    switch (c) {
    case u'"':
      out += u"&quot;";
      break;
    case u'&':
      out += u"&amp;";
      break;
    case u'\'':
      out += u"&apos;";
      break;
    case u'<':
      out += u"&lt;";
      break;
    case u'>':
      out += u"&gt;";
      break;
    // As references, so that an attribute's value keeps them: a parser
    // turns a literal one into a space there.
    case u'\t':
      out += u"&#9;";
      break;
    case u'\n':
      out += u"&#10;";
      break;
    case u'\r':
      out += u"&#13;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::u16string DriverDescriptionXml(const TSetEmulator& emulator) {
  const std::u16string version = XmlEscape(emulator.Version);
  std::u16string xml = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DriverDescription Name=\"";
  xml += XmlEscape(emulator.EquipmentName);
  xml += u"\" Description=\"";
  xml += XmlEscape(kMakerAddinPage);
  xml += u"\" EquipmentType=\"";
  xml += XmlEscape(emulator.EquipmentType);
  xml += u"\" IntegrationComponent=\"False\" MainDriverInstalled=\"False\" DriverVersion=\"";
  xml += version;
  xml += u"\" IntegrationComponentVersion=\"";
  xml += version;
  xml += u"\" DownloadURL=\"\" LogIsEnabled=\"True\" LogPath=\"";
  xml += XmlEscape(emulator.LogFilePath);
  xml += u"\"></DriverDescription>";
  return xml;
}

namespace {

// The read-only log file parameter that ends every Settings document.
void AppendLogFileParameter(std::u16string& xml, std::u16string_view logFilePath) {
  xml += u"<Parameter Name=\"LogFile\" Caption=\"Файл логов\" TypeValue=\"String\" ReadOnly=\"true\" "
         u"DefaultValue=\"";
  xml += XmlEscape(logFilePath);
  xml += u"\"/></Settings>";
}

} // namespace

std::u16string SettingsXml(const TSetEmulator& emulator) {
  std::u16string xml = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Settings>";
  AppendLogFileParameter(xml, emulator.LogFilePath);
  return xml;
}

std::u16string DeviceSettingsXml(std::span<const TSettingParameter> parameters,
                                 std::u16string_view logFilePath) {
  std::u16string xml =
      u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Settings><Page Caption=\"Параметры\">";
  for (const TSettingParameter& p : parameters) {
    xml += u"     <Parameter Name=\"";
    xml += p.Name;
    xml += u"\" Caption=\"";
    xml += p.Caption;
    xml += u"\" TypeValue=\"";
    xml += p.Type;
    xml += u"\" DefaultValue=\"";
    xml += p.Value;
    xml += u"\"/>";
  }
  xml += u"</Page>";
  AppendLogFileParameter(xml, logFilePath);
  return xml;
}

std::u16string ActionsXml() {
  return u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Actions></Actions>";
}
