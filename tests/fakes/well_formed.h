#pragma once

// Independent checks that a written document is well-formed XML 1.0 or valid JSON, for
// tests and fuzz targets: libxml2 and nlohmann::json judge, not our own writers. Both
// return an empty text when the document passes, else the parser's complaint. Where the
// libraries are missing (cross-builds) every document passes.

#include <string>
#include <string_view>

#if __has_include(<libxml/parser.h>) && __has_include(<nlohmann/json.hpp>)
#include <libxml/parser.h>

#include <nlohmann/json.hpp>
#define TAVRIN_HAVE_DOCUMENT_CHECKS 1
#endif

namespace tavrin::testing {

inline std::string XmlFault([[maybe_unused]] std::string_view document) {
#ifdef TAVRIN_HAVE_DOCUMENT_CHECKS
  xmlResetLastError();
  xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "doc.xml",
                                "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  std::string fault;
  if (doc == nullptr) {
    const xmlError* error = xmlGetLastError();
    fault = error && error->message ? error->message : "not well-formed";
    if (error) fault += " (line " + std::to_string(error->line) + ")";
  }
  xmlFreeDoc(doc);
  return fault;
#else
  return {};
#endif
}

inline std::string JsonFault([[maybe_unused]] std::string_view document) {
#ifdef TAVRIN_HAVE_DOCUMENT_CHECKS
  // Checking alone builds no tree, which costs more than the check itself; the document
  // is parsed again only to name the fault.
  if (nlohmann::json::accept(document)) return {};
  try {
    [[maybe_unused]] const nlohmann::json parsed = nlohmann::json::parse(document);
    return "not valid JSON";
  } catch (const nlohmann::json::exception& error) {
    return error.what();
  }
#else
  return {};
#endif
}

}  // namespace tavrin::testing
