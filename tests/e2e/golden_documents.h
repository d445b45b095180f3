#pragma once

// Host documents written by hand for the end-to-end tests. Their check values were worked
// out separately, not by the code under test.

#include <string_view>

namespace tavrin::e2e {

// A host XML import document with two BG records and its CRC-16/MCRF4XX check value.
inline constexpr std::string_view kGoldenXml =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n"
    "<?xml-stylesheet type=\"text/xls\" href=\"VTOXIXMT.xsl\" ?>\r\n"
    "<IMPORT>\r\n"
    "<VTOXIX Type=\"0000\" SN=\"JOB4711\" Ver=\"1.0.0\"/>\r\n"
    "<DEVICE  Name=\"Tavrin App\" SN=\"JOB4711\" ModelNum=\"1.0.0\" Dt=\"2026-11-20\" "
    "Tm=\"08:15\" BGUnit=\"mg/dL\" CarbUnit=\"g\" />\r\n"
    "<RECENTREC Dt=\"-\" Tm=\"-\" />\r\n"
    "<BGDATA>\r\n"
    "<BG Val=\"132\" Dt=\"2026-11-19\" Tm=\"07:45\" Carb=\"30\" Ins1=\"4.5\" D=\"1\" />\r\n"
    "<BG Val=\"---\" Dt=\"2026-11-19\" Tm=\"12:10\" Carb=\"52.5\" D=\"1\" />\r\n"
    "</BGDATA>\r\n"
    "<CHECK CRC=\"EEBB\" />\r\n"
    "</IMPORT>";

// The same document with the device serial "Müller€" (UTF-8); its check value counts
// ü and € as the single Windows-1252 bytes 0xFC and 0x80.
inline constexpr std::string_view kGoldenXmlAnsi =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n"
    "<?xml-stylesheet type=\"text/xls\" href=\"VTOXIXMT.xsl\" ?>\r\n"
    "<IMPORT>\r\n"
    "<VTOXIX Type=\"0000\" SN=\"JOB4711\" Ver=\"1.0.0\"/>\r\n"
    "<DEVICE  Name=\"Tavrin App\" SN=\"M\xC3\xBCller\xE2\x82\xAC\" ModelNum=\"1.0.0\" "
    "Dt=\"2026-11-20\" Tm=\"08:15\" BGUnit=\"mg/dL\" CarbUnit=\"g\" />\r\n"
    "<RECENTREC Dt=\"-\" Tm=\"-\" />\r\n"
    "<BGDATA>\r\n"
    "<BG Val=\"132\" Dt=\"2026-11-19\" Tm=\"07:45\" Carb=\"30\" Ins1=\"4.5\" D=\"1\" />\r\n"
    "<BG Val=\"---\" Dt=\"2026-11-19\" Tm=\"12:10\" Carb=\"52.5\" D=\"1\" />\r\n"
    "</BGDATA>\r\n"
    "<CHECK CRC=\"F5A4\" />\r\n"
    "</IMPORT>";

// A shortened exchange stream with two entries, two CGM sequences (three data elements)
// and the SHA-256 of the document with the digits removed.
inline constexpr std::string_view kGoldenJson =
    "{\r\n\"$schema\": \"ExchangeJsonSchema.json\",\r\n\"devices\": [{\r\n"
    "\"description\": {\r\n\"id\": \"0\",\"serial number\": \"JS-1\",\r\n},\r\n"
    "\"data\": [{\r\n\"type\": \"carb\",\"timestamp\": \"2026-11-19T07:45:00+01:00\","
    "\"value\": 30\r\n},{\r\n\"type\": \"insulin\",\"timestamp\": "
    "\"2026-11-19T07:45:00+01:00\",\"category\": \"1\",\"value\": 4.5\r\n}]\r\n},\r\n"
    "{\r\n\"sequences\": [[[0,\"2026-11-19T07:00:00Z\"],[1,101,\"NaN\"],[1,102,\"NaN\"]],"
    "[[40,\"2026-11-19T07:42:00Z\"],[0,110,\"NaN\"]]],\r\n\"calibration\": [ ]\r\n}],\r\n"
    "\"checksum\": { \"SHA-256\": "
    "\"6eb0e5c22e55068b56c9046d215abdd437970419eeb0d99166da03819e9fa8ca\" }\r\n}";

}  // namespace tavrin::e2e
