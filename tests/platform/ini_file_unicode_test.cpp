// UTF-16LE INI files marked with "@@@": the recognised marker forms, write-back with the
// marker and without byte-order mark, and conversion between the encodings.
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/file_helpers.h"
#include "platform/ini_fixture.h"
#include "platform/ini_file.h"

namespace tavrin {
namespace {

using testing::ReadBytes;
using testing::Utf16Le;
using testing::WriteBytes;

class IniFileUnicode : public testing::IniFileFixture {
 protected:
  IniFileUnicode() : IniFileFixture("SCCGR.txt") {}
};

TEST_F(IniFileUnicode, MarkerForms) {
  // Greek and a euro sign: text the ANSI code page cannot hold.
  const std::u16string body = u"[Languagetext]\r\n354=Αναζήτηση €\r\n";
  const std::string forms[] = {
      "@@@" + Utf16Le(body),                   // single bytes
      "\xFF@@@" + Utf16Le(body),               // single bytes behind one byte
      Utf16Le(u"@@@" + body),                  // UTF-16
      Utf16Le(u"\xFEFF@@@" + body),            // UTF-16 behind a byte-order mark
      Utf16Le(u"@@@" + body + u'\0' + u'\0'),  // trailing NULs
  };
  for (const std::string& bytes : forms) {
    WriteBytes(path, bytes);
    cIniFile ini = Open();
    EXPECT_TRUE(ini.CheckUnicodeFile());
    EXPECT_EQ(ini.Load("Languagetext", "354", ""), "Αναζήτηση €");
  }
  WriteBytes(path, Utf16Le(u"\xFEFF[A]\r\nx=1\r\n"));  // no marker
  EXPECT_FALSE(Open().CheckUnicodeFile());
}

TEST_F(IniFileUnicode, ShortFileKeepsTheFlag) {
  WriteBytes(path, Utf16Le(u"@@@[A]\r\nx=1\r\n"));
  cIniFile ini = Open();
  WriteBytes(path, "@@@[A]");
  EXPECT_TRUE(ini.CheckUnicodeFile());
  WriteBytes(path, "[A]\r\nx=1\r\n");
  EXPECT_FALSE(ini.CheckUnicodeFile());
}

TEST_F(IniFileUnicode, SaveWritesMarkerWithoutByteOrderMark) {
  WriteBytes(path, Utf16Le(u"\xFEFF@@@[Languagetext]\r\n354=Αναζήτηση €\r\n"));
  cIniFile ini = Open();
  ini.Save("Languagetext", "399", "Όλα");
  ini.Save("Languagetext", "354", "Αναζήτηση");
  EXPECT_EQ(ReadBytes(path), Utf16Le(u"@@@[Languagetext]\r\n354=Αναζήτηση\r\n399=Όλα\r\n"));
}

TEST_F(IniFileUnicode, SaveKeepsWhatAnotherInstanceWrote) {
  WriteBytes(path, Utf16Le(u"@@@[A]\r\nx=1\r\n"));
  cIniFile first = Open();
  cIniFile second = Open();
  ASSERT_EQ(second.Load("A", "x", ""), "1");
  first.Save("A", "y", "2");
  second.Save("A", "z", "3");
  EXPECT_EQ(ReadBytes(path), Utf16Le(u"@@@[A]\r\nx=1\r\ny=2\r\nz=3\r\n"));
}

TEST_F(IniFileUnicode, ConvertBetweenEncodings) {
  WriteBytes(path, "[A]\r\nname=Gr\xF6\xDF\x65\r\n");
  cIniFile ini = Open();
  ini.WriteAsUnicode(true);
  EXPECT_EQ(ReadBytes(path), Utf16Le(u"@@@[A]\r\nname=Größe\r\n"));
  ini.Save("A", "more", "€");
  EXPECT_EQ(ReadBytes(path), Utf16Le(u"@@@[A]\r\nname=Größe\r\nmore=€\r\n"));
  ini.WriteAsAnsi();
  EXPECT_EQ(ReadBytes(path), "[A]\r\nname=Gr\xF6\xDF\x65\r\nmore=\x80\r\n");
  ini.WriteAsAnsi();  // already ANSI: unchanged
  EXPECT_EQ(ReadBytes(path), "[A]\r\nname=Gr\xF6\xDF\x65\r\nmore=\x80\r\n");
}

TEST_F(IniFileUnicode, RemoveKeyAndSectionKeepTheEncoding) {
  WriteBytes(path, Utf16Le(u"@@@[A]\r\nx=1\r\ny=Ω\r\n\r\n[B]\r\nz=3\r\n"));
  cIniFile ini = Open();
  EXPECT_TRUE(ini.RemoveKey("A", "x"));
  EXPECT_EQ(ReadBytes(path), Utf16Le(u"@@@[A]\r\ny=Ω\r\n\r\n[B]\r\nz=3\r\n"));
  EXPECT_TRUE(ini.RemoveSection("B"));
  EXPECT_EQ(ReadBytes(path), Utf16Le(u"@@@[A]\r\ny=Ω"));
  EXPECT_EQ(ini.Load("A", "y", ""), "Ω");
}

}  // namespace
}  // namespace tavrin
