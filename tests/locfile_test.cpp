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
    // clang-format off
#define NAMED(name) {INTL_E_##name, #name}
    static const std::map<INTL_INT, std::string> names = {NAMED(GENERAL), NAMED(NOVALUE),
        NAMED(NOENTRY), NAMED(FIRSTDAY), NAMED(DATEORDER), NAMED(TIMEFORMAT), NAMED(ENTRYLONG),
        NAMED(VALUELONG), NAMED(ODDHEX), NAMED(NOCOMMENT), NAMED(FILEFORMAT), NAMED(BADVERSION),
        NAMED(FEWMONTHS), NAMED(FEWSHORTMONTHS), NAMED(FEWDAYS), NAMED(LINELONG),
        NAMED(DUPDATEFMT), NAMED(HEADING)};
#undef NAMED
    // clang-format on
    const auto name = names.find(status);
    return std::string("!").append(name != names.end() ? name->second : std::to_string(status));
}

// What the opening set apart from defaults: version v, comment c, brackets l r, separator s, escape
// e.
std::string settings(const INTL_LOCFILE &lf) {
    const INTL_INT version = intl_getversion(&lf);
    std::string out = version == 420 ? "" : std::string("v").append(std::to_string(version));
    const char got[] = {lf.comment_char, lf.leftsection, lf.rightsection, lf.list_sep, lf.escape};
    for (int i = 0; i < 5; ++i)
        if (got[i] != ";[],\\"[i])
            out.append(1, "clrse"[i]).append(1, got[i]);
    return out;
}

// The datetime fields of d that differ from base, as " name=value", lists joined by commas.
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

// A section read: a datetime section first by its call, then " entry" per entry, "=value" per
// value, "+" after a piece, "!CODE" per failure (a broken hexadecimal pair ends no list).
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

// A file read through: settings, "[section]" and what read_section gives, "!CODE" per failure.
std::string walk(const std::string &path, Depth depth = values) {
    INTL_LOCFILE lf;
    const INTL_INT rc = intl_open(path.c_str(), &lf);
    std::string out = rc == INTL_OK ? settings(lf) : std::string("open").append(code(rc));
    INTL_INT status = rc == INTL_OK ? 0 : 1;
    while (const char *section = rc == INTL_OK ? intl_nextsection(&lf, &status) : nullptr) {
        out.append("[").append(section).append("]");
        read_section(lf, depth, out, status);
        if (status != 1 && status != 0)
            out += code(status);
    }
    out += status == 1 ? "" : code(status);
    return out.append(intl_close(&lf) == INTL_OK ? "" : " close failed");
}

std::string file(const std::string &bytes) {
    static TempDir dir;
    static int files = 0;
    return dir.write(std::to_string(files++), bytes);
}

// clang-format off
struct Row { std::string bytes, transcript; Depth depth = values; };
// clang-format on

// Each row's file, after prefix, walked; the transcript after its prefix.
void check(const std::vector<Row> &rows, const std::string &prefix = "",
           const std::string &transcript_prefix = "") {
    for (const Row &row : rows)
        EXPECT_EQ(walk(file(prefix + row.bytes), row.depth), transcript_prefix + row.transcript)
            << row.bytes;
}

TEST(Locfile, OpeningSectionsAndEntriesFollowTheFilesOwnSyntax) {
    const std::string n62(62, 'n'), ff = "; c\n[file format]\n";
    // clang-format off
    check({
        {"", "open!NOCOMMENT"}, {"\n  \n\t\n", "open!FILEFORMAT"},
        {"; a\n  ; b\n", "open!FILEFORMAT"}, {std::string(511, ';') + "\n[s]\n", "open!LINELONG"},
        {"; a\n" + std::string(511, 'x') + "\n[s]\n", "open!FILEFORMAT"},
        {"; a\n  [s]\n", "open!FILEFORMAT"}, // every heading begins in column one
        {"; a\n[s]", "open!FILEFORMAT"},     // no newline: never read
        {"\n   ; comment\n\n[first]\nk = a, b\n", "[first] k=a=b"},
        {"# comment\n<file format>\nversion = 5\nlist_separator = \";\"\nescape = /\n<s> note\n"
         "k = a;b,c # x/;y\nfirst/\nsecond = 1\n", "v500c#l<r>s;e/[s] k=a=b,c first/second=1"},
        {"[c]\n[file format]\n(file format)\nversion = 4\n(s)\n", "v400c[l(r)[s]"}, // [ comments
        {"; c\r\n[file format]  \r\nversion = 4.1\r\n[s]\r\n", "v410[s]"},
        {"; c\n[\nversion = 4\n", "r[!HEADING"}, // a heading of one character names no section
    });
    check({
        {"version = 4.10\n", "open!BADVERSION"}, {"version = 4.2.10\n", "open!GENERAL"},
        {"version =\n", "open!GENERAL"}, {"version = 4.\n", "open!BADVERSION"},
        {"version = 123\n", "open!BADVERSION"}, {"version = 0x4\n", "open!NOVALUE"},
        {"list_separator = \\\n[s]\n", "open!NOVALUE"}, {"broken\n", "open!NOENTRY"},
        {"version = 4\n", "v400"}, {"version = 4.2.0\n[s]\n", "[s]"}, {"version = '5.1'\n", "v510"},
        {"version = 12.1.3\n", "v1213"}, {"escape = \\\n[s]\n", "[s]"},
        // A separator or escape at the end of its line swallows no line; others are passed over.
        {"author = me\nlist_separator = ,\nescape = \\\nversion = 5\n[s]\n", "v500[s]"},
        // A newline made a syntax character never passes the line.
        {"list_separator = 0x0a\n[s]\nk = a b\nm = \"x\n", "s\n[s] k=a b m=x"},
        {"escape = 0x0a\nlist_separator = \"\"\n[s]\nk = a,b\nm = 1\n", "s\0e\n[s] k=a,b m=1"s},
        {"[ spaced ] trailing ] text\n[" + n62 + "]\n[" + n62 + "n]\n",
         "[ spaced ][" + n62 + "]!HEADING"},
    }, ff);
    check({
        {"\n  ; note\n\tfirst day = 7\n =x\n" + n62 + "=1\n[empty]\n[last]\nk = 1\nm = 2",
         " firstday=7 =x " + n62 + "=1[empty][last] k=1"},
        {"k = 1\n[t]\n[u]\nm = 2\n", "[t][u]", sections}, {"[open\n", "!HEADING"},
        {"broken\n[t]\n", "!NOENTRY", sections}, // fails the move to the next section
        // Only an odd run of escape characters continues a line: C:\\ ends in an escaped escape.
        {"a = 1, \\\n 2, \\\n 3\npath = C:\\\\\nnext = 1\nodd = \\\\\\\n x\nlast = 2\n",
         " a path next odd last", names},
        // A run of escape characters alone on a line is counted to its start and no further.
        {"a = 1, \\\n\\\\\\\n x\nb = \\\n\\\\\nc = 3\n", " a b c", names},
        {"a = 1, \\\n[t]\nb = 2\n", " a[t] b", names},
        // A list that the value scanner ended continues nothing.
        {"path = C:\\\\\nnext = 1 ; note \\\nlast = 2\n", " path=C:\\ next=1 last=2"},
        // The separator and escape entries deliver their character; met inside a value, the
        // escape character is delivered alone, not consumed, so the next value delivers it again.
        {"list_separator = ,\nescape = \\\nescape = \\ x\nnext = 1\n",
         " list_separator=,= escape=\\ escape=\\=x next=1"},
        {"escape = a\\b\n", " escape=\\=\\=b"},
        // A piece's quoting is dropped by the next entry.
        {"k = \"" + std::string(300, 'a') + "\\\n" + std::string(250, 'a') + "\"\nm = 'x'\n",
         " k=" + std::string(512, 'a') + "+ m=x", first_values},
        {std::string(63, 'n') + "=1\n", "!ENTRYLONG"}, {"no equals sign\n", "!NOENTRY"}, // faulty
        {"k ; note = 1\n", " k;note=1"}, // a comment after a name belongs to it
        {"k ; note\n", "!NOENTRY"}, {"  [t]\n", "!NOENTRY"}, {"na\\\n\n", "!NOENTRY"},
        {"na\\\n", ""}, {"na\\\n[t]\n", "[t]"}, // a name broken off by the end or a heading
        {std::string(511, 'k') + "=1\n", "!LINELONG"}, {"a\0b = 1\n"s, "!LINELONG"},
    }, "; c\n[s]\n", "[s]");
    // clang-format on
}

// The values of entry k: its value text, what reading them gives.
TEST(Locfile, ValuesFollowQuotesEscapesHexRunsAndPieces) {
    const std::string a(300, 'a'), b210(210, 'b'), b212(212, 'b'), b300(300, 'b');
    // clang-format off
    check({
        {" a , b ,c\n", "=a=b=c"}, {"\n", "="}, {" a,\n", "=a="}, {" \"\"\n", "="},
        {" \"x, y ; z \" , 'q'\n", "=x, y ; z =q"}, {" \"it's\"\",b\"\n", "=it's\",b"},
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
        {" " + a + "\\\n" + b300 + "\n", "=" + a + b212 + "+=" + b300.substr(212)},
        {" " + a + "\\\n" + b212 + "\n", "=" + a + b212 + "+="},
        {" " + a + "\\\n" + b210 + "   c\n", "=" + a + b210 + "  +=c"},
        {" " + a + "\\\n" + b212 + "  c\n", "=" + a + b212 + "+=c"},
        {" \"" + a + "\\\n" + b212 + "  \\,c\", d\n", "=" + a + b212 + "+=  ,c=d"},
    }, "; c\n[s]\nk =", "[s] k");
    // clang-format on
}

// A datetime section: what its call failed with, what it changed and the
// entries it left.
TEST(Locfile, DatetimeEntriesChangeTheDefaultsOrFailWithTheirCode) {
    EXPECT_EQ(changes(defaults(), {}),
              " months=January,February,March,April,May,June,July,August,September,October,"
              "November,December short=Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec days=Monday,"
              "Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday first=7 order=mdy 12h=1");
    // clang-format off
    const std::string m11 = "m1,m2,m3,m4,m5,m6,m7,m8,m9,m10,m11", d6 = "d1,d2,d3,d4,d5,d6",
        s11 = "s1,s2,s3,s4,s5,s6,s7,s8,s9,s10,s11";
    const std::string z10 = ",z,z,z,z,z,z,z,z,z,z", m20 = "a," + std::string(20, '\xE9') + z10,
        s9 = "a," + std::string(9, '\xE9') + z10,
        d30 = "a," + std::string(30, '\xE9') + z10.substr(10);
    check({
        {"", ""}, {"other = 1\\\n months = x\n", ""},
        {"first day = 1\n date format = dmy\ntime format =  24 \n", " first=1 order=dmy 12h=0"},
        // Only the first character of firstday counts; a second dateformat ends the reading.
        {"firstday=10\ndateformat=dmyx\ntimeformat=24, 12\ndateformat=ymd\nfirstday=3\n",
         " first=1 order=dmy 12h=0 firstday=3"},
        {"months=" + m11 + ",m12,m13\n", " months=" + m11 + ",m12"},
        {"months=" + m11 + "\n", "!FEWMONTHS months=" + m11 + ",December"},
        {"shortmonths=" + s11 + ",s12\ndays=" + d6 + ",d7\n",
         " short=" + s11 + ",s12 days=" + d6 + ",d7"},
        {"shortmonths=" + s11 + "\n", "!FEWSHORTMONTHS short=" + s11 + ",Dec"},
        {"days=" + d6 + "\n", "!FEWDAYS days=" + d6 + ",Sunday"},
        {"months = 0x4\n", "!ODDHEX"}, {"shortmonths = 0x4\n", "!FEWSHORTMONTHS"},
        {"days = \\\n", "!FEWDAYS"}, {"firstday = 0\n", "!FIRSTDAY"},
        {"firstday = 8\n", "!FIRSTDAY"}, {"firstday =\n", "!FIRSTDAY"},
        {"firstday = \\\n", "!NOVALUE"},
        {"dateformat = \\\n", "!NOVALUE"}, {"timeformat = \\\n", "!NOVALUE"},
        {"dateformat = ymd\ndateformat = md\ntimeformat = 24\n", " order=ymd timeformat=24"},
        {"dateformat = md\n", "!DATEORDER"}, {"dateformat = ddy\n", "!DUPDATEFMT order=ddy"},
        {"timeformat = 24h\n", "!TIMEFORMAT"}, {"timeformat = \" 24 \"\n", "!TIMEFORMAT"},
        {"timeformat = 24\nbroken\n", "!NOENTRY 12h=0"},
        // Names up to their field's room are taken; a longer one fails the list.
        {"months = " + m20 + "\n", " months=" + m20}, {"days = " + d30 + "\n", " days=" + d30},
        {"shortmonths = " + s9 + "\n", " short=" + s9},
        {"months = a,\xE9" + m20.substr(2) + "\n",
         "!VALUELONG months=a,February,March,April,May,June,July,August,September,October,November,"
         "December"},
        {"shortmonths = a,\xE9" + s9.substr(2) + "\n",
         "!VALUELONG short=a,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec"},
        {"days = a,\xE9" + d30.substr(2) + "\n",
         "!VALUELONG days=a,Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday"},
    }, "; c\n[datetime]\n", "[datetime]");
    // clang-format on
}

// A UTF-8 byte-order mark before the file's first character is passed over,
// so a file reads the same with and without one; anywhere else it is text.
TEST(Locfile, AByteOrderMarkAtTheStartIsPassedOver) {
    const std::string mark = "\xEF\xBB\xBF";
    // clang-format off
    const std::vector<Row> rows = {
        {"; c\n[s]\nk = v\n", "[s] k=v"}, {"\n  ; c\n[s]\n", "[s]"},
        {"# c\n<file format>\nversion = 5\n<s>\n", "v500c#l<r>[s]"},
        {"[s]\n<t>\nk = 1\n", "c[l<r>[t] k=1"}, // a heading first is still the comment character
        {"", "open!NOCOMMENT"}, {"; c\n", "open!FILEFORMAT"},
    };
    // clang-format on
    check(rows);
    for (Row row : rows)
        if (!row.bytes.empty())
            check({row}, mark);
    EXPECT_EQ(walk(file(mark + "\n")), "open!FILEFORMAT"); // a line of its own, then nothing
    EXPECT_EQ(walk(file(mark + mark + "; c\n[s]\n")), "c\xEF[s]");
    EXPECT_EQ(walk(file("; c\n[s]\n" + mark + "k = " + mark + "\n")), "[s] " + mark + "k=" + mark);
}

TEST(Locfile, NullArgumentsFailWithTheirCodesAndASecondCloseFreesNothing) {
    using Scan = char *(*)(INTL_LOCFILE *, INTL_INT *);
    for (int n = 0; Scan scan : {intl_nextline, intl_nextsection, intl_nextentry, intl_nextvalue,
                                 intl_nextline}) {
        INTL_LOCFILE lf{};
        (++n == 5 ? lf.end_of_section : lf.eof) = 1; // the last: a heading stops lines
        INTL_INT status = 99, at_end = 99;
        EXPECT_TRUE(!scan(&lf, nullptr) && !scan(nullptr, &status) && !scan(&lf, &at_end) &&
                    status == INTL_E_BADLOCFILE && at_end == 1);
    }
    EXPECT_EQ(walk(file("") + ".missing"), "open!-151 close failed"); // nothing to release
    INTL_LOCFILE lf{};
    INTL_DATEINFO info;
    INTL_IOCS *stream = intl_iocsfopen(file("; c\n\n[s]\n").c_str(), 1);
    // clang-format off
    const std::vector<INTL_INT> got = {intl_linenum(nullptr), intl_open(nullptr, &lf),
        intl_open("x", nullptr), intl_fopen(nullptr, &lf), intl_fopen(stream, nullptr),
        intl_fopen(stream, &lf), intl_linenum(&lf), intl_datetime(nullptr, &info),
        intl_datetime(&lf, nullptr), intl_close(&lf), intl_close(&lf), intl_close(nullptr),
        intl_getversion(nullptr)};
    EXPECT_EQ(got, (std::vector<INTL_INT>{INTL_E_BADLOCFILE, INTL_E_NOLOCNAME, INTL_E_BADLOCFILE,
        INTL_E_BADFILE, INTL_E_BADLOCFILE, INTL_OK, 3, INTL_E_BADLOCFILE, INTL_E_NODATEINFO,
        INTL_OK, INTL_E_CLOSE, INTL_E_BADLOCFILE, INTL_E_GENERAL})); // a second close frees nothing
    // clang-format on
}

} // namespace
