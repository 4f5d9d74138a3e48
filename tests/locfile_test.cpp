// The localization file reader on real files. Most cases are a file and
// the transcript of reading it through.
#include "support.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

using namespace std::string_literals;

// A status as a transcript shows it.
std::string code(INTL_INT status) {
#define NAMED(name)                                                                                \
    { INTL_E_##name, #name }
    static const std::map<INTL_INT, std::string> names = {
        NAMED(GENERAL),    NAMED(NOVALUE),        NAMED(NOENTRY),    NAMED(FIRSTDAY),
        NAMED(DATEORDER),  NAMED(TIMEFORMAT),     NAMED(ENTRYLONG),  NAMED(VALUELONG),
        NAMED(ODDHEX),     NAMED(NOCOMMENT),      NAMED(FILEFORMAT), NAMED(BADVERSION),
        NAMED(FEWMONTHS),  NAMED(FEWSHORTMONTHS), NAMED(FEWDAYS),    NAMED(LINELONG),
        NAMED(DUPDATEFMT), NAMED(HEADING)};
#undef NAMED
    const auto name = names.find(status);
    return std::string("!").append(name != names.end() ? name->second : std::to_string(status));
}

// What the opening set apart from the defaults: version v, comment c,
// heading brackets l and r, separator s, escape e.
std::string settings(const INTL_LOCFILE &lf) {
    const INTL_INT version = intl_getversion(&lf);
    std::string out = version == 420 ? "" : std::string("v").append(std::to_string(version));
    const char got[] = {lf.comment_char, lf.leftsection, lf.rightsection, lf.list_sep, lf.escape};
    for (int i = 0; i < 5; ++i)
        if (got[i] != ";[],\\"[i])
            out.append(1, "clrse"[i]).append(1, got[i]);
    return out;
}

// The datetime fields of d that differ from base, as " name=value", a
// list's names joined by commas.
std::string changes(const INTL_DATEINFO &d, const INTL_DATEINFO &base) {
    const auto fields = [](const INTL_DATEINFO &x) {
        const auto list = [](const auto &names, int count) {
            std::string text;
            for (int i = 0; i < count; ++i)
                text.append(i ? "," : "").append(names[i], strnlen(names[i], sizeof names[i]));
            return text;
        };
        return std::vector<std::string>{
            " months="s + list(x.months, 12),   " short="s + list(x.shortmonths, 12),
            " days="s + list(x.days, 7),        " first="s + std::to_string(x.firstday),
            " order="s + list(&x.dateorder, 1), " 12h="s + std::to_string(x.is12hour)};
    };
    std::string out;
    for (std::size_t i = 0; i < 6; ++i)
        out += fields(d)[i] == fields(base)[i] ? "" : fields(d)[i];
    return out;
}

// What the datetime call gives for a section without entries.
INTL_DATEINFO defaults() {
    INTL_LOCFILE lf{};
    lf.eof = lf.end_of_section = 1;
    INTL_DATEINFO d{};
    EXPECT_EQ(intl_datetime(&lf, &d), INTL_OK);
    return d;
}

// How much of each section a walk reads.
enum Depth { sections, names, first_values, values };

// A section read: " entry" per entry, "=value" per value, "+" after a piece
// of a long one, "!CODE" per failure (a broken hexadecimal pair ends no
// list); a datetime section first by its call, its failure and changes.
void read_section(INTL_LOCFILE &lf, Depth depth, std::string &out, INTL_INT &status) {
    if (std::strcmp(lf.section, "datetime") == 0) {
        INTL_DATEINFO got;
        std::memset(&got, 0x55, sizeof got);
        const INTL_INT rc = intl_datetime(&lf, &got);
        out.append(rc == INTL_OK ? "" : code(rc)).append(changes(got, defaults()));
    }
    while (const char *entry = depth > sections ? intl_nextentry(&lf, &status) : nullptr) {
        out.append(" ").append(entry);
        for (int n = 0; n < (depth == values ? 20 : depth == first_values); ++n) {
            const char *value = intl_nextvalue(&lf, &status);
            if (value != nullptr)
                out.append("=").append(value).append(status == 1 ? "+" : "");
            else if (status != 1)
                out += code(status);
            if (value == nullptr && status != INTL_E_ODDHEX)
                break;
        }
    }
}

// A file read through: the settings, "[section]" and what read_section
// gives for each, and "!CODE" for each failure; plain ends show nothing.
std::string walk(const std::string &path, Depth depth = values) {
    INTL_LOCFILE lf;
    const INTL_INT rc = intl_open(path.c_str(), &lf);
    std::string out = rc == INTL_OK ? settings(lf) : std::string("open").append(code(rc));
    INTL_INT status = rc == INTL_OK ? 0 : 1;
    for (int n = 0; rc == INTL_OK && n < 20; ++n) {
        const char *section = intl_nextsection(&lf, &status);
        if (section == nullptr)
            break;
        out.append("[").append(section).append("]");
        read_section(lf, depth, out, status);
        if (status != 1 && status != 0)
            out += code(status);
    }
    out += status == 1 ? "" : code(status);
    const INTL_INT closed = intl_close(&lf);
    return closed == INTL_OK ? out : out.append(" close").append(code(closed));
}

std::string file(const std::string &bytes) {
    static TempDir dir;
    static int files = 0;
    return dir.write(std::to_string(files++), bytes);
}

struct Row {
    std::string bytes, transcript;
    Depth depth = values;
};

// Each row's file, after prefix, walked; the transcript after its prefix.
void check(const std::vector<Row> &rows, const std::string &prefix = "",
           const std::string &transcript_prefix = "") {
    for (const Row &row : rows)
        EXPECT_EQ(walk(file(prefix + row.bytes), row.depth), transcript_prefix + row.transcript)
            << row.bytes;
}

const std::string ff = "; c\n[file format]\n";

TEST(Locfile, OpeningAndSections) {
    const std::string n62(62, 'n');
    // clang-format off
    check({
        {"", "open!NOCOMMENT"}, {"\n  \n\t\n", "open!FILEFORMAT"}, {"; a\n  ; b\n", "open!FILEFORMAT"},
        {std::string(511, ';') + "\n[s]\n", "open!LINELONG"},
        {"; a\n" + std::string(511, 'x') + "\n[s]\n", "open!FILEFORMAT"},
        {"; a\n  [s]\n", "open!FILEFORMAT"}, // every heading begins in column one
        {"; a\n[s]", "open!FILEFORMAT"},     // no newline: never read
        {ff + "version = 4.10\n", "open!BADVERSION"}, {ff + "version = 4.2.10\n", "open!GENERAL"},
        {ff + "version =\n", "open!GENERAL"}, {ff + "version = 4.\n", "open!BADVERSION"},
        {ff + "version = 123\n", "open!BADVERSION"}, {ff + "version = 0x4\n", "open!NOVALUE"},
        {ff + "list_separator = \\\n[s]\n", "open!NOVALUE"}, {ff + "broken\n", "open!NOENTRY"},
        {ff + "version = 4\n", "v400"}, {ff + "version = 4.2.0\n[s]\n", "[s]"}, {ff + "version = '5.1'\n", "v510"},
        {ff + "version = 12.1.3\n", "v1213"}, {"\n   ; comment\n\n[first]\nk = a, b\n", "[first] k=a=b"},
        {"# comment\n<file format>\nversion = 5\nlist_separator = \";\"\nescape = /\n<s> note\n"
         "k = a;b,c # x/;y\nfirst/\nsecond = 1\n", "v500c#l<r>s;e/[s] k=a=b,c first/second=1"},
        // A separator or escape at the end of its line swallows no line; other entries are passed over.
        {ff + "author = me\nlist_separator = ,\nescape = \\\nversion = 5\n[s]\n", "v500[s]"},
        {ff + "escape = \\\n[s]\n", "[s]"},
        // The first visible character, a bracket, is the comment character.
        {"[c]\n[file format]\n(file format)\nversion = 4\n(s)\n", "v400c[l(r)[s]"},
        {"; c\r\n[file format]  \r\nversion = 4.1\r\n[s]\r\n", "v410[s]"},
        {"; c\n[\nversion = 4\n", "r[!HEADING"}, // a heading of one character names no section
        // A newline made a syntax character never passes the line.
        {ff + "list_separator = 0x0a\n[s]\nk = a b\nm = \"x\n", "s\n[s] k=a b m=x"},
        {ff + "escape = 0x0a\nlist_separator = \"\"\n[s]\nk = a,b\nm = 1\n", "s\0e\n[s] k=a,b m=1"s},
        {ff + "[ spaced ] trailing ] text\n[" + n62 + "]\n[" + n62 + "n]\n", "[ spaced ][" + n62 + "]!HEADING"},
        {"; c\n[s]\n\n  ; note\n\tfirst day = 7\n =x\n" + n62 + "=1\n[empty]\n[last]\nk = 1\nm = 2",
         "[s] firstday=7 =x " + n62 + "=1[empty][last] k=1"},
        {"; c\n[s]\nk = 1\n[t]\n[u]\nm = 2\n", "[s][t][u]", sections},
        {"; c\n[s]\n[open\n", "[s]!HEADING"},
        // A faulty line in a skipped section fails the move to the next one.
        {"; c\n[s]\nbroken\n[t]\n", "[s]!NOENTRY", sections},
        // Only an odd run of escape characters continues a line: C:\\ ends in an escaped escape.
        {"; c\n[s]\na = 1, \\\n 2, \\\n 3\npath = C:\\\\\nnext = 1\nodd = \\\\\\\n x\nlast = 2\n",
         "[s] a path next odd last", names},
        // A run of escape characters alone on a line is counted to its start and no further.
        {"; c\n[s]\na = 1, \\\n\\\\\\\n x\nb = \\\n\\\\\nc = 3\n", "[s] a b c", names},
        {"; c\n[s]\na = 1, \\\n[t]\nb = 2\n", "[s] a[t] b", names},
        // A list that the value scanner ended continues nothing.
        {"; c\n[s]\npath = C:\\\\\nnext = 1 ; note \\\nlast = 2\n", "[s] path=C:\\ next=1 last=2"},
        // The separator and escape entries deliver their character; met inside a value, the escape
        // character is delivered alone without being consumed, so the next value delivers it again.
        {"; c\n[s]\nlist_separator = ,\nescape = \\\nescape = \\ x\nnext = 1\n",
         "[s] list_separator=,= escape=\\ escape=\\=x next=1"},
        {"; c\n[s]\nescape = a\\b\n", "[s] escape=\\=\\=b"},
        // A piece's quoting is dropped by the next entry.
        {"; c\n[s]\nk = \"" + std::string(300, 'a') + "\\\n" + std::string(250, 'a') + "\"\nm = 'x'\n",
         "[s] k=" + std::string(512, 'a') + "+ m=x", first_values},
    });
    // A faulty entry line of section s.
    check({
        {std::string(63, 'n') + "=1\n", "!ENTRYLONG"}, {"no equals sign\n", "!NOENTRY"},
        {"k ; note = 1\n", " k;note=1"}, // a comment after a name belongs to it
        {"k ; note\n", "!NOENTRY"}, {"  [t]\n", "!NOENTRY"}, {"na\\\n\n", "!NOENTRY"},
        {"na\\\n", ""}, {"na\\\n[t]\n", "[t]"}, // a name broken off by the end or a heading
        {std::string(511, 'k') + "=1\n", "!LINELONG"}, {"a\0b = 1\n"s, "!LINELONG"},
    }, "; c\n[s]\n", "[s]");
    // clang-format on
}

// The values of entry k: its value text, what reading them gives.
TEST(Locfile, Values) {
    const std::string a(300, 'a'), b210(210, 'b'), b212(212, 'b');
    // clang-format off
    check({
        {" a , b ,c\n", "=a=b=c"}, {"\n", "="}, {" a,\n", "=a="}, {" \"\"\n", "="},
        {" \"x, y ; z \" , 'q'\n", "=x, y ; z =q"}, {" \"it's\"\n", "=it's"},
        {" \"say \"\"hi\"\"\", next\n", "=say \"hi\"=next"}, {" a\"\" 'b' c\"d\"  \n", "=a b cd"},
        {" a  \"\"\n", "=a  "}, {" \"open, still\n", "=open, still"}, {" a ; b, c\n", "=a"},
        // Blanks inside a value stay, around a '0' that opens no hexadecimal run too.
        {" a 0 b 0  \n", "=a 0 b 0"},
        {" 0x41, 0x4142, ab0x41yz, 0x41cd, 0xg, 0x41 42\n", "=A=AB=abAyz=A\xCD=g=A 42"},
        {" \"0x41\", 0X41\n", "=0x41=0X41"}, {" 0x4A4b, 0xFf\n", "=JK=\xFF"},
        {" 0x414\n", "!ODDHEX="}, {" 0x4g, b\n", "!ODDHEX==b"},
        {" a\\,b, x\\;c, \"\\\"\", e\\ \n", "=a,b=x;c=\"=e "},
        // Before a value the escape character only continues lines.
        {" \\ \\x\n", "=x"}, {" \\;c\n", "="}, {" a\\\n  b, c\n", "=a  b=c"}, {" \\\n  b\n", "=b"},
        {"\ta\t,\tb\t\n", "=a=b"}, {"\t\\\n\t b\n", "=b"}, // a tab is as blank as a space
        {" a\\\n[t]\n", "=a[t]"}, {" \\\n[t]\n", "[t]"}, {" a\\\n", "=a"},
        {" " + std::string(506, 'x') + "\n", "=" + std::string(506, 'x')}, // a line of 510
        {" a, \\\n" + std::string(511, 'x') + "\n", "=a!LINELONG"},
        {" a\\\n" + std::string(511, 'x') + "\n", "!LINELONG"},
        // A piece is cut after exactly 512 bytes, blanks included; outside quotes the next piece
        // starts like any value, inside quotes it resumes exactly where the piece was cut.
        {" " + a + "\\\n" + std::string(300, 'b') + "\n", "=" + a + b212 + "+=" + std::string(88, 'b')},
        {" " + a + "\\\n" + b212 + "\n", "=" + a + b212 + "+="},
        {" " + a + "\\\n" + b210 + "   c\n", "=" + a + b210 + "  +=c"},
        {" " + a + "\\\n" + b212 + "  c\n", "=" + a + b212 + "+=c"},
        {" \"" + a + "\\\n" + b212 + "  \\,c\", d\n", "=" + a + b212 + "+=  ,c=d"},
    }, "; c\n[s]\nk =", "[s] k");
    // clang-format on
}

// Names "<prefix>1" to "<prefix><count>", separated by commas.
std::string numbered(int count, const char *prefix) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text.append(i > 1 ? "," : "").append(prefix).append(std::to_string(i));
    return text;
}

// A datetime section: what its call failed with, what it changed and the
// entries it left.
TEST(Locfile, Datetime) {
    EXPECT_EQ(changes(defaults(), {}),
              " months=January,February,March,April,May,June,July,August,September,October,"
              "November,December short=Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec days=Monday,"
              "Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday first=7 order=mdy 12h=1");
    std::vector<Row> rows = {
        // clang-format off
        {"", ""}, {"other = 1\\\n months = x\n", ""},
        {"first day = 1\n date format = dmy\ntime format =  24 \n", " first=1 order=dmy 12h=0"},
        // Only the first character of firstday counts; a second dateformat ends the reading unapplied.
        {"firstday=10\ndateformat=dmyx\ntimeformat=24, 12\ndateformat=ymd\nfirstday=3\n",
         " first=1 order=dmy 12h=0 firstday=3"},
        {"months=" + numbered(13, "m") + "\n", " months="s + numbered(12, "m")},
        {"months=" + numbered(11, "m") + "\n", "!FEWMONTHS months=" + numbered(11, "m") + ",December"},
        {"shortmonths=" + numbered(12, "s") + "\ndays=" + numbered(7, "d") + "\n",
         " short="s + numbered(12, "s") + " days="s + numbered(7, "d")},
        {"shortmonths=" + numbered(11, "s") + "\n", "!FEWSHORTMONTHS short=" + numbered(11, "s") + ",Dec"},
        {"days=" + numbered(6, "d") + "\n", "!FEWDAYS days=" + numbered(6, "d") + ",Sunday"},
        {"months = 0x4\n", "!ODDHEX"}, {"shortmonths = 0x4\n", "!FEWSHORTMONTHS"},
        {"days = \\\n", "!FEWDAYS"}, {"firstday = 0\n", "!FIRSTDAY"}, {"firstday = 8\n", "!FIRSTDAY"},
        {"firstday =\n", "!FIRSTDAY"}, {"firstday = \\\n", "!NOVALUE"}, {"dateformat = \\\n", "!NOVALUE"},
        {"timeformat = \\\n", "!NOVALUE"}, {"dateformat = md\n", "!DATEORDER"},
        {"dateformat = ymd\ndateformat = md\ntimeformat = 24\n", " order=ymd timeformat=24"},
        {"dateformat = ddy\n", "!DUPDATEFMT order=ddy"}, {"timeformat = 24h\n", "!TIMEFORMAT"},
        {"timeformat = \" 24 \"\n", "!TIMEFORMAT"}, {"timeformat = 24\nbroken\n", "!NOENTRY 12h=0"},
        // clang-format on
    };
    // Names up to their field's room are taken; a longer one fails the list.
    for (const auto &[entry, count, room, defaults] :
         {std::tuple{"months", 12, 20,
                     ",February,March,April,May,June,July,August,September,"
                     "October,November,December"},
          {"shortmonths", 12, 9, ",Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec"},
          {"days", 7, 30, ",Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday"}}) {
        std::string fits = "a," + std::string(room, '\xE9'), too_long = fits + '\xE9';
        for (int i = 2; i < count; ++i)
            fits += ",z", too_long += ",z";
        const std::string name = entry == "shortmonths"s ? "short" : entry;
        rows.push_back({entry + (" = " + fits) + "\n", " " + name + "=" + fits, names});
        rows.push_back({entry + (" = " + too_long) + "\n", "!VALUELONG " + name + "=a" + defaults});
    }
    check(rows, "; c\n[datetime]\n", "[datetime]");
}

TEST(Locfile, NullArgumentsClosesAndLineCounts) {
    using Scan = char *(*)(INTL_LOCFILE *, INTL_INT *);
    for (Scan scan : {Scan{intl_nextline}, Scan{intl_nextsection}, Scan{intl_nextentry},
                      Scan{intl_nextvalue}}) {
        INTL_LOCFILE lf{};
        lf.eof = 1;
        INTL_INT status = 99, at_end = 99;
        EXPECT_TRUE(!scan(&lf, nullptr) && !scan(nullptr, &status) && !scan(&lf, &at_end));
        EXPECT_EQ(status * 100 + at_end, INTL_E_BADLOCFILE * 100 + 1);
    }
    INTL_LOCFILE lf{};
    INTL_DATEINFO info;
    INTL_INT status = 0;
    EXPECT_EQ(walk(file("") + ".missing"), "open!-151 close!-152"); // nothing to release
    EXPECT_EQ(intl_linenum(nullptr), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_open(nullptr, &lf), INTL_E_NOLOCNAME);
    EXPECT_EQ(intl_open("x", nullptr), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_fopen(nullptr, &lf), INTL_E_BADFILE);
    // Lines refused as too long are counted all the same.
    INTL_IOCS *stream =
        intl_iocsfopen(file("; c\n\n[s]\n" + std::string(600, 'x') + "\nk = 1\n").c_str(), 1);
    EXPECT_EQ(intl_fopen(stream, nullptr), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_fopen(stream, &lf), INTL_OK);
    EXPECT_EQ(intl_linenum(&lf), 3);
    EXPECT_EQ(intl_datetime(nullptr, &info), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_datetime(&lf, nullptr), INTL_E_NODATEINFO);
    intl_nextsection(&lf, &status);
    EXPECT_EQ(intl_nextentry(&lf, &status), nullptr);
    EXPECT_EQ(status * 100 + intl_linenum(&lf), INTL_E_LINELONG * 100 + 4);
    EXPECT_EQ(intl_close(&lf), INTL_OK);
    EXPECT_EQ(intl_close(&lf), INTL_E_CLOSE); // a second close frees nothing
    EXPECT_EQ(intl_close(nullptr), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_getversion(nullptr), INTL_E_GENERAL);
}

} // namespace
