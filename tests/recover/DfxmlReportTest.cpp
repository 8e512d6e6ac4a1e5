// The DFXML report: escaping of text from the medium, the document, and
// the byte runs of scanner files.

#include "recover/DfxmlReport.h"

#include <glib.h>
#include <gtest/gtest.h>

#include "recover/FileDigests.h"
#include "tests/recover/RecoverFixtures.h"
#include "tests/support/Tools.h"

TEST(XmlEscape, SpecialCharactersAreEscaped) {
  EXPECT_EQ(xmlEscape("Fotos & Videos <2024> \"a\" 'b'"),
            "Fotos &amp; Videos &lt;2024&gt; &quot;a&quot; &apos;b&apos;");
  EXPECT_EQ(xmlEscape("plain.jpg"), "plain.jpg");
  EXPECT_EQ(xmlEscape("\xd0\x9f\xd1\x80\xd0\xb8.JPG"), "\xd0\x9f\xd1\x80\xd0\xb8.JPG");
}

TEST(XmlEscape, WhatXmlCannotHoldBecomesAReplacementCharacter) {
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(xmlEscape(std::string("a\0b", 3)), "a" + r + "b");
  EXPECT_EQ(xmlEscape("a\x01\x1f" "b"), "a" + r + r + "b");
  EXPECT_EQ(xmlEscape("tab\tok\n"), "tab\tok\n");
  EXPECT_EQ(xmlEscape("\xff\xfe"), r + r);                 // not UTF-8
  EXPECT_EQ(xmlEscape("\xc0\xaf"), r + r);                 // overlong "/"
  EXPECT_EQ(xmlEscape("\xed\xa0\x80"), r + r + r);         // a surrogate
  EXPECT_EQ(xmlEscape("cut \xe2\x82"), "cut " + r + r);    // sequence cut short
  EXPECT_EQ(xmlEscape("\xef\xbf\xbf"), r);                 // U+FFFF
  std::string out = xmlEscape("\x80mixed\xe2\x82\xac\xf4\x90\x80\x80");
  EXPECT_TRUE(g_utf8_validate(out.data(), static_cast<gssize>(out.size()), nullptr));
  EXPECT_NE(out.find("mixed\xe2\x82\xac"), std::string::npos);
}

TEST(DfxmlDocument, ValidatesAgainstTheSchemaAndCarriesEveryFact) {
  RecoverTempDir dir;
  std::string path = dir.file("r.xml");
  {
    DfxmlReport report;
    std::string error;
    ASSERT_TRUE(report.create(path, &error)) << error;
    report.begin("mzk-recover", "100218", "mzk-recover -o out card & co.img", "card & co.img", 1048576);
    FileModule::File carved = foundFile(512, 300);
    ReportedFile a = reportedFileOf(carved);
    a.filename = "512-300.jpeg";
    a.runs = {{0, 512, 300}};
    a.md5 = "0123456789abcdef0123456789abcdef";
    a.sha256 = "ab12";
    report.fileObject(a);
    FileModule::File named = foundFile(8192, 5000);
    named.attributes.setInt32("fs", 0);
    named.attributes.set("fn", "A&B.JPG");
    named.attributes.setBool("deleted", true);
    named.attributes.setBool("fragmented", true);
    named.attributes.setBool("raw", true);
    named.attributes.setUint32("thumbnail_offset", 4096);
    named.attributes.setUint32("thumbnail_size", 700);
    ReportedFile b = reportedFileOf(named);
    b.filename = "A&B-8192.JPG";
    b.runs = {{0, 8192, 4096}, {4096, 65536, 904}};
    b.unreadableBytes = 512;
    report.fileObject(b);
    ASSERT_TRUE(report.finish(2, 512));
  }
  std::string xml = readText(path);
  for (const char* expected :
       {"<command_line>mzk-recover -o out card &amp; co.img</command_line>",
        "<source mzk:image_size=\"1048576\">\n    <image_filename>card &amp; co.img</image_filename>",
        "<filename>512-300.jpeg</filename>\n    <filesize>300</filesize>\n    <byte_runs>",
        "<byte_run file_offset=\"0\" img_offset=\"512\" len=\"300\"/>",
        "<hashdigest type=\"md5\">0123456789abcdef0123456789abcdef</hashdigest>\n"
        "    <hashdigest type=\"sha256\">ab12</hashdigest>\n    <mzk:type>jpeg</mzk:type>",
        "<filename>A&amp;B-8192.JPG</filename>\n    <filesize>5000</filesize>\n    <alloc>0</alloc>",
        "<byte_run file_offset=\"4096\" img_offset=\"65536\" len=\"904\"/>",
        "<mzk:original_name>A&amp;B.JPG</mzk:original_name>\n    <mzk:fragmented>1</mzk:fragmented>\n"
        "    <mzk:raw>1</mzk:raw>\n    <mzk:preview offset=\"4096\" size=\"700\"/>\n"
        "    <mzk:unreadable_bytes>512</mzk:unreadable_bytes>",
        "<mzk:summary files_recovered=\"2\" unreadable_bytes=\"512\"/>\n</dfxml>\n"})
    EXPECT_NE(xml.find(expected), std::string::npos) << expected;
  EXPECT_EQ(xml.find("<alloc>", xml.find("512-300.jpeg")), xml.find("<alloc>0")) << "carved files have no allocation";
  EXPECT_TRUE(mzktest::validatesAsDfxml(path));
}

TEST(DfxmlDocument, ExistingFileIsNeverReplaced) {
  RecoverTempDir dir;
  dir.write("r.xml", "keep");
  DfxmlReport report;
  std::string error;
  EXPECT_FALSE(report.create(dir.file("r.xml"), &error));
  EXPECT_EQ(error, "File exists");
  EXPECT_EQ(readText(dir.file("r.xml")), "keep");
  EXPECT_FALSE(report.finish(0, 0));
}

TEST(ByteRunsOfScannerFiles, OneRunAtTheFileOffset) {
  CaseOverMemory c(patternBytes(10000));
  auto runs = c.fileCase().byteRunsFor(foundFile(1024, 3000));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].fileOffset, 0u);
  EXPECT_EQ(runs[0].imageOffset, 1024u);
  EXPECT_EQ(runs[0].length, 3000u);
}

TEST(ByteRunsOfScannerFiles, NoRunsForAnEmptyOrUnreadableFile) {
  CaseOverMemory c(patternBytes(10000));
  EXPECT_TRUE(c.fileCase().byteRunsFor(foundFile(1024, 0)).empty());
  EXPECT_TRUE(c.fileCase().byteRunsFor(foundFile(10000, 10)).empty());
  FileModule::File onMissingVolume = foundFile(512, 10);
  onMissingVolume.attributes.setInt32("fs", 3);
  EXPECT_TRUE(c.fileCase().byteRunsFor(onMissingVolume).empty());
}

TEST(FileDigests, AgreeWithTheSystemToolsOverUnevenPieces) {
  // Empty input, and a megabyte fed in pieces that straddle every block
  // boundary of both algorithms.
  for (size_t length : {size_t(0), size_t(1000003)}) {
    auto data = patternBytes(length, 7);
    FileDigests digests;
    size_t steps[] = {1, 63, 64, 65, 127, 4096, 32768};
    for (size_t at = 0, k = 0; at < data.size(); ++k) {
      size_t n = std::min(steps[k % 7], data.size() - at);
      digests.update(data.data() + at, n);
      at += n;
    }
    std::string md5, sha256;
    digests.finish(md5, sha256);
    RecoverTempDir dir;
    mzktest::writeFile(dir.file("data"), std::string(data.begin(), data.end()));
    EXPECT_EQ(md5, mzktest::shOutput("md5sum " + mzktest::quote(dir.file("data"))).substr(0, 32));
    EXPECT_EQ(sha256, mzktest::shOutput("sha256sum " + mzktest::quote(dir.file("data"))).substr(0, 64));
  }
}
