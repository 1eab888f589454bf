// tvx report's page at every width (360, 768, 1024, 1280 and 1920 px), with and without its
// script, on screen and printed: each record opened shows its block and listing, what a choice
// changes comes into sight, the block has room for its lines, an offset of 9 characters stays on
// one line, names show their deceptive characters as escapes, the program table is in reach, links
// to a line and a byte open what they name and a reload keeps the place, columns sort, and every
// record's cells tell a screen reader their column's name.
#include <gtest/gtest.h>

#include <regex>

#include "hexstream.h"
#include "report_browser.h"

namespace tvx::testing {
namespace {

const std::string kEvil = "evil\xE2\x80\xAEtxt.exe";  // U+202E turns "txt.exe" around
const std::string kOdd = "new\nline\xFF.exe";         // a newline, a byte not UTF-8
// deep.exe's record lies at 16 MiB; its stream's offset (0x100001B) has 9 characters.
const std::string kDeepRecord = Record("Deep1", "MSACAL.Calendar");
constexpr double kDeep = 0x1000000;
const double kDeepPosition = kDeep + static_cast<double>(kDeepRecord.size()) + 1;

// A folder of programs whose names deceive, one whose record lies past 16 MiB (in a sparse file),
// and a sample that holds a stream without its record.
void MakePrograms(const fs::path& set) {
  fs::create_directories(set / "sub");
  fs::copy_file(kSamples + "/example.exe", set / kEvil);
  fs::copy_file(kSamples + "/example.exe", set / "sub" / kOdd);
  fs::copy_file(kSamples + "/agent.exe", set / "agent.exe");
  const std::string calendar = ReadAll(kSamples + "/calendar.exe").substr(2048);
  std::ofstream deep(set / "deep.exe", std::ios::binary);
  deep << hexstream::Parse("\"MZ\" z:62 \"PE\" 00 00");
  deep.seekp(static_cast<std::streamoff>(kDeep));
  deep << kDeepRecord << calendar;
}

// The ids in a page, in order.
std::vector<std::string> Ids(const std::string& page) {
  std::vector<std::string> ids;
  const std::regex id("id=\"(r-[0-9a-f]{8}-[0-9]+)\"");
  for (std::sregex_iterator it(page.begin(), page.end(), id), end; it != end; ++it)
    ids.push_back((*it)[1]);
  return ids;
}

// A record's id is the same however its file or folder is named: relative, with "./", absolute,
// the folder or the file itself. A page to share holds no path above the folder named, no
// command line and no time; a folder of lone streams says how to show them.
TEST(ReportPage, IdsThatSurviveAndPagesToShare) {
  const fs::path dir = Scratch("ids");
  MakePrograms(dir / "set");
  const fs::path relative = fs::relative(dir / "set", fs::current_path());
  const auto page = [&](const std::vector<std::string>& args) {
    std::vector<std::string> command = {
        "report", "-q", "--class", "Tevo.Host=ActiveXPlugin", "-o", (dir / "page.html").string()};
    command.insert(command.end(), args.begin(), args.end());
    Tvx(command);
    return ReadAll(dir / "page.html");
  };
  const std::string one = page({(relative / kEvil).string()});
  EXPECT_NE(one.find("<title>tvx report: evil\\u202Etxt.exe</title>"), std::string::npos);
  const std::vector<std::string> ids = Ids(one);
  ASSERT_EQ(ids.size(), 6u);
  EXPECT_EQ(ids[0], KeyId(kEvil, 1058));
  for (const std::string& path :
       {"./" + (relative / kEvil).string(), (dir / "set" / kEvil).string()}) {
    EXPECT_EQ(Ids(page({path})), ids) << path;
  }
  // The folder named, relative or absolute: each file by its path below it.
  const std::vector<std::string> all = Ids(page({relative.string()}));
  EXPECT_EQ(Ids(page({(dir / "set").string() + "/"})), all);
  ASSERT_EQ(all.size(), 13u);
  EXPECT_EQ(all[0], KeyId("deep.exe", kDeepPosition));
  EXPECT_EQ(all[1], ids[0]);
  EXPECT_EQ(all[7], KeyId("sub/" + kOdd, 1058));

  setenv("SOURCE_DATE_EPOCH", "1796117400", 1);
  const std::string shared = page({(dir / "set").string(), "--shareable"});
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(shared.find(dir.string()), std::string::npos) << "no path above the folder named";
  EXPECT_EQ(shared.find("<dt>Command"), std::string::npos);
  EXPECT_EQ(shared.find("2026-12-01"), std::string::npos);
  EXPECT_EQ(shared.find("1796117400"), std::string::npos);
  EXPECT_NE(shared.find("<h2>sub/new<span class=\"esc\">\\x0A</span>line<span "
                        "class=\"esc\">\\xFF</span>.exe</h2>"),
            std::string::npos);
  EXPECT_NE(shared.find("1 program holds no record. A control is found by the record"),
            std::string::npos);
  fs::remove_all(dir);
}

// What the page shows of the record `id` opened (by a click, or without the script by its
// details), with the record scrolled to the top: the blocks and listings seen and clipped, the
// page's overflow, the characters a block line has room for, cells of positions and offsets that
// wrap, the title, heading and program headings, the marked escapes seen, the program table's
// rows and links that lead nowhere, and the hint.
constexpr const char* kFacts = R"((async (id) => {
  const record = document.getElementById(id);
  if (!record.open) record.querySelector('summary').click();
  record.open = true;
  const script = !document.getElementById('bar').hidden;
  for (let i = 0; i < 200 && script && !record.querySelector('.pane.bytes'); i++) {
    await new Promise((done) => setTimeout(done, 10));
  }
  record.scrollIntoView();
  const seen = (n) => !!n && n.getClientRects().length > 0 && getComputedStyle(n).visibility !== 'hidden';
  const lines = [...record.querySelectorAll('.lines')];
  const probe = document.createElement('span');
  probe.textContent = '0'.repeat(10);
  lines[0].append(probe);
  const box = getComputedStyle(lines[0]);
  const room = (lines[0].clientWidth - parseFloat(box.paddingLeft) - parseFloat(box.paddingRight)) /
               (probe.getBoundingClientRect().width / 10);
  probe.remove();
  const wrapped = [...document.querySelectorAll('summary span.num')].filter((cell) => {
    const range = document.createRange();
    range.selectNodeContents(cell);
    return new Set([...range.getClientRects()].map((r) => Math.round(r.top))).size > 1;
  }).map((cell) => cell.textContent);
  const rows = [...document.querySelectorAll('table.programs tbody tr')];
  return {
    lines: lines.map((l) => [seen(l), l.scrollHeight <= l.clientHeight + 1]),
    bytes: seen(record.querySelector('.pane.bytes')),
    overflow: document.documentElement.scrollWidth - innerWidth,
    room: Math.floor(room),
    wrapped,
    offsets: [...document.querySelectorAll('summary span.num')].map((c) => c.textContent),
    title: document.title,
    headings: [...document.querySelectorAll('h1, h2')].map((h) => h.textContent),
    marks: [...document.querySelectorAll('h1 .esc, h2 .esc')].filter(seen).length,
    table: rows.map((row) => [row.cells[0].textContent, +row.cells[2].textContent]),
    deadLinks: [...document.querySelectorAll('#overview a')].filter((a) =>
      !document.getElementById(a.getAttribute('href').slice(1))).length,
    hint: (document.querySelector('.hint') || {}).textContent || '',
  };
}))";

// Chooses block line 6 of `record` (brought to the middle of the screen first): whether the line,
// the first byte marked and the status line are then in sight and not covered.
constexpr const char* kChoice = R"((async (id) => {
  const record = document.getElementById(id);
  const line = record.querySelectorAll('.block li')[5];
  line.scrollIntoView({ block: 'center' });
  line.click();
  await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 50)));
  const inSight = (node) => {
    const r = node && node.getBoundingClientRect();
    if (!r || r.bottom <= r.top || r.top < 0 || r.bottom > innerHeight) return false;
    const hit = document.elementFromPoint(r.left + Math.min(r.width / 2, 20), (r.top + r.bottom) / 2);
    return !!hit && (node.contains(hit) || hit.contains(node));
  };
  const status = record.querySelector('.status');
  return [inSight(line), inSight(record.querySelector('.hex .mark')),
          inSight(status) && status.textContent.includes('Block line 6 comes from'), location.hash];
}))";

// After the page opened at a link to a line or a byte: the line chosen and in sight, or the byte
// underlined and its value marked; the record's top.
constexpr const char* kLinked = R"((async (id) => {
  const record = document.getElementById(id);
  for (let i = 0; i < 100 && !record.querySelector('.hex .row'); i++) await new Promise((done) => setTimeout(done, 10));
  // Settled: the record where it stays, two frames running.
  const frame = () => new Promise((done) => requestAnimationFrame(done));
  let top = NaN;
  for (let i = 0; i < 30 && record.getBoundingClientRect().top !== top; i++) {
    top = record.getBoundingClientRect().top;
    await frame();
    await frame();
  }
  const chosen = record.querySelector('li[aria-selected="true"]');
  const r = chosen && chosen.getBoundingClientRect();
  return [record.open, chosen ? chosen.textContent : '', !!r && r.top >= 0 && r.bottom <= innerHeight,
          [...record.querySelectorAll('.hex .bytes .here')].map((b) => +b.dataset.i),
          record.querySelectorAll('.hex .bytes .v.mark').length > 0, Math.round(top)];
}))";

// Sorts the program table by its Records column twice (down) and a program's records by Position
// twice: the counts and positions in their order then, and the sort buttons in sight.
constexpr const char* kSorted = R"((async () => {
  const section = document.querySelectorAll('section.program')[2];
  for (let i = 0; i < 100 && !section.querySelector('.cols > button'); i++) await new Promise((done) => setTimeout(done, 10));
  const th = document.querySelectorAll('table.programs thead th')[2];
  th.querySelector('button').click();
  th.querySelector('button').click();
  const position = section.querySelectorAll('.cols > button')[3];
  position.click();
  position.click();
  return [th.getAttribute('aria-sort'),
          [...document.querySelectorAll('table.programs tbody tr')].map((row) => +row.cells[2].textContent),
          [...section.querySelectorAll('details.record summary')].map((s) => +s.children[3].textContent),
          [...section.querySelectorAll('.cols > button')].every((b) => b.getClientRects().length > 0)];
})())";

// The accessible name a screen reader gives the row of the record `id` (on screen).
std::string SpokenRow(Browser& b, const std::string& id) {
  const int root = b.Call("DOM.getDocument")["root"]["nodeId"];
  const int node = b.Call("DOM.querySelector",
                          {{"nodeId", root}, {"selector", "#" + id + " > summary"}})["nodeId"];
  const Json tree =
      b.Call("Accessibility.getPartialAXTree", {{"nodeId", node}, {"fetchRelatives", false}});
  for (const Json& n : tree["nodes"]) {
    if (n.contains("name")) return n["name"].value("value", "");
  }
  return "";
}

// What every page shows, whatever its width, script and medium (points 1, 2, 3, 5 and 6).
void ExpectFacts(const Json& facts, bool script, bool print, const std::string& set) {
  // 1: the block and the listing seen, whole when printed; the bytes on screen with the script.
  ASSERT_EQ(facts["lines"].size(), 2u);
  for (const Json& lines : facts["lines"]) {
    EXPECT_EQ(lines[0], true);
    EXPECT_TRUE(!print || lines[1] == true) << "printed whole";
  }
  EXPECT_EQ(facts["bytes"], script && !print);
  // 2: no sideways scroll of the page, room for 40 characters of a block line, every position
  // and offset on one line (among them one of 9 characters).
  EXPECT_LE(facts["overflow"], 0);
  EXPECT_GE(facts["room"], 40);
  EXPECT_EQ(facts["wrapped"], Json::array());
  EXPECT_NE(std::find(facts["offsets"].begin(), facts["offsets"].end(), "0x100001B"),
            facts["offsets"].end());
  // 3: the deceptive characters as marked escapes.
  EXPECT_EQ(facts["title"], "tvx report: 4 programs");
  EXPECT_EQ(facts["headings"][4], set + "evil\\u202Etxt.exe");
  EXPECT_EQ(facts["headings"][5], set + "sub/new\\x0Aline\\xFF.exe");
  EXPECT_EQ(facts["marks"], 3);
  // 5: a row and a link per program; 6: the hint for the lone stream.
  EXPECT_EQ(facts["table"],
            Json::array({Json::array({set + "agent.exe", 0}), Json::array({set + "deep.exe", 1}),
                         Json::array({set + "evil\\u202Etxt.exe", 6}),
                         Json::array({set + "sub/new\\x0Aline\\xFF.exe", 6})}));
  EXPECT_EQ(facts["deadLinks"], 0);
  EXPECT_NE(facts["hint"].get<std::string>().find("--stream CONTROL:POSITION:FILE"),
            std::string::npos);
}

// On screen with the script (points 2, 4 and 5): choosing a line brings what it changes into
// sight and into the address; a link to a line and one to a byte open what they name, and a
// reload keeps the record where it was on the screen; the columns sort.
void ExpectChoicesAndLinks(Browser& b, const fs::path& page, const std::string& id,
                           const std::string& sixth) {
  const Json choice = b.Eval(std::string(kChoice) + "('" + id + "')");
  EXPECT_EQ(choice, Json::array({true, true, true, "#" + id + ":b6"}));
  b.Open(page.string() + "#" + id + ":b6");
  const Json line = b.Eval(std::string(kLinked) + "('" + id + "')");
  EXPECT_EQ(line[0], true);
  EXPECT_EQ(line[1], sixth);
  EXPECT_EQ(line[2], true) << "the line in sight";
  // Offset 0x5C9: byte 57 of the stream from 0x590, in the word at 0x5C8.
  b.Open(page.string() + "#" + id + ":0x5C9");
  for (const int top : {150, 420}) {
    // Scrolled as a reader scrolls (a wheel turned), and left long enough to be kept.
    b.Eval(
        "(async () => { dispatchEvent(new WheelEvent('wheel')); scrollBy(0, "
        "document.getElementById('" +
        id + "').getBoundingClientRect().top - " + std::to_string(top) + "); })()");
    b.Reload();
    const Json byte = b.Eval(std::string(kLinked) + "('" + id + "')");
    EXPECT_EQ(byte[3], Json::array({57})) << "reloaded: the byte the address names";
    EXPECT_EQ(byte[4], true) << "reloaded: its value marked";
    EXPECT_NEAR(byte[5].get<double>(), top, 2) << "reloaded: the record where it was";
  }
  // Sorted within each form (Form1, frmCalendar, MDIForm1, frmComm), the forms in file order.
  const Json sorted = b.Eval(kSorted);
  EXPECT_EQ(sorted, Json::array({"descending", Json::array({6, 6, 1, 0}),
                                 Json::array({1219, 1058, 1425, 2087, 2645, 2448}), true}));
}

TEST(ReportInBrowser, EveryWidthWithAndWithoutScriptOnScreenAndPrinted) {
  const fs::path dir = Scratch("widths");
  MakePrograms(dir / "set");
  const fs::path page = dir / "page.html";
  ASSERT_EQ(Tvx({"report", "-q", (dir / "set").string(), "--class", "Tevo.Host=ActiveXPlugin", "-o",
                 page.string()}),
            0);
  const std::string calendar = KeyId(kEvil, 1425);
  const std::string set = (dir / "set").string() + "/";
  std::string block;
  Tvx({"decode", "DTGRID.Almanac", set + kEvil, "1425", "--block"}, &block);
  std::size_t at = 0;
  for (int n = 0; n < 5; ++n)
    at = block.find("\r\n", at) + 2;
  const std::string sixth = block.substr(at, block.find("\r\n", at) - at);
  Browser b(dir / "profile");
  ASSERT_TRUE(b.ready());
  b.Call("Accessibility.enable");
  const auto start = Clock::now();
  for (const int width : {360, 768, 1024, 1280, 1920}) {
    for (const bool script : {true, false}) {
      for (const bool print : {false, true}) {
        SCOPED_TRACE(std::to_string(width) + " px" + (script ? "" : ", without script") +
                     (print ? ", printed" : ""));
        b.Width(width);
        b.Call("Emulation.setScriptExecutionDisabled", {{"value", !script}});
        b.Open(page);
        if (print) b.Call("Emulation.setEmulatedMedia", {{"media", "print"}});
        ExpectFacts(b.Eval(std::string(kFacts) + "('" + calendar + "')"), script, print, set);
        // 6: each cell's column name reaches a screen reader.
        const std::string spoken = SpokenRow(b, calendar);
        for (const char* column : {"Name", "Class", "Control", "Position", "Offset", "Decode"})
          EXPECT_NE(spoken.find(column), std::string::npos) << spoken;
        b.Call("Emulation.setEmulatedMedia", {{"media", ""}});
        if (script && !print) ExpectChoicesAndLinks(b, page, calendar, sixth);
      }
    }
  }
  b.Close();  // before its profile goes
  std::printf("every width: %.1f s\n", std::chrono::duration<double>(Clock::now() - start).count());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tvx::testing
