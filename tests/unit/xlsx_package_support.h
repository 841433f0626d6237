// Excel packages made by hand for the reader's tests: parts given as text,
// packed with the minizip the host's writer carries, so a test states
// exactly what a file holds (and what is wrong with it).
#pragma once

#include <minizip/zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kovo::testing {

using Parts = std::vector<std::pair<std::string, std::string>>;

// The bytes of a zip file of the parts, in order ("" when it cannot be made).
inline std::string make_package(const Parts& parts) {
  static std::mt19937_64 random{std::random_device{}()};
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("kovo-package-" + std::to_string(random()) + ".zip");
  zipFile zip = zipOpen64(file.string().c_str(), APPEND_STATUS_CREATE);
  if (!zip) return {};
  for (const auto& [name, text] : parts) {
    zip_fileinfo info{};
    zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION);
    zipWriteInFileInZip(zip, text.data(), static_cast<unsigned>(text.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::error_code ec;
  std::filesystem::remove(file, ec);
  return bytes;
}

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* kDocRels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

inline std::string relationships_xml(const std::vector<std::pair<std::string, std::string>>& type_and_target) {
  std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"") + kRelsNs + "\">";
  int id = 1;
  for (const auto& [type, target] : type_and_target)
    xml += "<Relationship Id=\"rId" + std::to_string(id++) + "\" Type=\"" + kDocRels + "/" + type + "\" Target=\"" +
           target + "\"/>";
  return xml + "</Relationships>";
}

// A workbook of the given sheets' XML (sheetData and what follows it), with
// the workbook part's extra XML (definedNames, ...) and shared strings.
// Parts live where a writer other than Excel might put them, so the reader
// must follow the relationships.
inline Parts workbook_parts(const std::vector<std::pair<std::string, std::string>>& sheets,
                            const std::string& workbook_extra = "", const std::vector<std::string>& strings = {}) {
  Parts parts;
  parts.emplace_back("_rels/.rels", relationships_xml({{"officeDocument", "book/main.xml"}}));
  std::vector<std::pair<std::string, std::string>> rels;
  std::string sheet_list;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    rels.emplace_back("worksheet", "pages/page" + n + ".xml");
    sheet_list += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    parts.emplace_back("book/pages/page" + n + ".xml", std::string("<worksheet xmlns=\"") + kMain + "\" xmlns:r=\"" +
                                                          kDocRels + "\">" + sheets[i].second + "</worksheet>");
  }
  if (!strings.empty()) {
    rels.emplace_back("sharedStrings", "text.xml");
    std::string sst = std::string("<sst xmlns=\"") + kMain + "\">";
    for (const auto& s : strings) sst += "<si><t>" + s + "</t></si>";
    parts.emplace_back("book/text.xml", sst + "</sst>");
  }
  parts.emplace_back("book/_rels/main.xml.rels", relationships_xml(rels));
  parts.emplace_back("book/main.xml", std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kDocRels +
                                          "\"><sheets>" + sheet_list + "</sheets>" + workbook_extra + "</workbook>");
  return parts;
}

}  // namespace kovo::testing
