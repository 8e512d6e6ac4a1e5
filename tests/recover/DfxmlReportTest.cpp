// The DFXML report: escaping of text from the medium, the document, and the
// digests that go into it.

#include "recover/DfxmlReport.h"

#include <glib.h>
#include <gtest/gtest.h>

#include "recover/FileDigests.h"
#include "tests/recover/RecoverFixtures.h"

using namespace mzktest;

TEST(XmlEscape, SpecialCharactersEscapedAndWhatXmlCannotHoldReplaced) {
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"Fotos & Videos <2024> \"a\" 'b'", "Fotos &amp; Videos &lt;2024&gt; &quot;a&quot; &apos;b&apos;"},
      {"\xd0\x9f\xd1\x80\xd0\xb8.JPG", "\xd0\x9f\xd1\x80\xd0\xb8.JPG"},
      {std::string("a\0b", 3), "a" + r + "b"},
      {"a\x01\x1f" "b", "a" + r + r + "b"},
      {"tab\tok\n", "tab\tok\n"},
      {"\xff\xfe", r + r},               // not UTF-8
      {"\xc0\xaf", r + r},               // an overlong "/"
      {"\xed\xa0\x80", r + r + r},       // a surrogate
      {"cut \xe2\x82", "cut " + r + r},  // a sequence cut short
      {"\xef\xbf\xbf", r},               // U+FFFF
      {"\x80mixed\xe2\x82\xac\xf4\x90\x80\x80", r + "mixed\xe2\x82\xac" + r + r + r + r},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, xmlEscape(c.first)) << c.first;
}

TEST(DfxmlDocument, ValidatesAgainstTheSchemaAndCarriesEveryFact) {
  RecoverTempDir dir;
  std::string path = dir.file("r.xml");
  {
    DfxmlReport report;
    std::string error;
    ASSERT_TRUE(report.create(path, &error)) << error;
    report.begin("mzk-recover", "100218", "mzk-recover -o out card & co.img", "card & co.img", 1048576);
    FileModule::File carved;
    carved.offset = 512, carved.size = 300;
    carved.attributes.set("t", "jpeg");
    ReportedFile a = reportedFileOf(carved);
    a.filename = "512-300.jpeg";
    a.runs = {{0, 512, 300}};
    a.md5 = "0123456789abcdef0123456789abcdef";
    a.sha256 = "ab12";
    report.fileObject(a);
    FileModule::File named = carved;
    named.offset = 8192, named.size = 5000;
    named.attributes.setInt32("fs", 0);
    named.attributes.set("fn", "A&B.JPG");
    for (const char* flag : {"deleted", "fragmented", "raw"}) named.attributes.setBool(flag, true);
    named.attributes.setUint32("thumbnail_offset", 4096);
    named.attributes.setUint32("thumbnail_size", 700);
    ReportedFile b = reportedFileOf(named);
    b.filename = "A&B-8192.JPG";
    b.runs = {{0, 8192, 4096}, {4096, 65536, 904}};
    b.unreadableBytes = 512;
    report.fileObject(b);
    ASSERT_TRUE(report.finish(2, 512));
  }
  std::string xml = readFile(path);
  for (const char* part :
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
    EXPECT_NE(std::string::npos, xml.find(part)) << part;
  EXPECT_EQ(xml.find("<alloc>"), xml.find("<alloc>0")) << "carved files have no allocation";
  EXPECT_TRUE(validatesAsDfxml(path));
  // An existing file is never replaced.
  DfxmlReport again;
  std::string error;
  EXPECT_FALSE(again.create(path, &error));
  EXPECT_EQ("File exists", error);
  EXPECT_FALSE(again.finish(0, 0));
  EXPECT_EQ(xml, readFile(path));
}

TEST(FileDigests, AgreeWithTheSystemToolsOverUnevenPieces) {
  // Empty input, a megabyte and a file of more than three chunks, one after
  // the other through digest threads that may hold two chunks (so that the
  // writer waits for them), fed in pieces that straddle every block
  // boundary of both algorithms and of the chunks; waited for at the end.
  RecoverTempDir dir;
  FileDigests digests(2);
  const size_t lengths[] = {0, 1000003, 3 * FileDigests::kChunkBytes + 4097};
  std::vector<FileDigests::Pending> pending;
  for (size_t length : lengths) {
    std::string data = randomBytes(length, static_cast<uint32_t>(length));
    const size_t steps[] = {1, 63, 64, 65, 127, 4096, 32768};
    for (size_t at = 0, k = 0; at < data.size(); at += steps[k++ % 7])
      digests.update(data.data() + at, std::min(steps[k % 7], data.size() - at));
    pending.push_back(digests.finish());
    writeFile(dir.file(std::to_string(length)), data);
  }
  for (size_t i = 0; i < pending.size(); ++i) {
    std::string md5, sha256, path = dir.file(std::to_string(lengths[i]));
    pending[i].wait(md5, sha256);
    EXPECT_EQ(shOutput("md5sum " + quote(path)).substr(0, 32), md5);
    EXPECT_EQ(shOutput("sha256sum " + quote(path)).substr(0, 64), sha256);
  }
}
