// The localization file reader on real files: lines, sections, entries,
// values, opening and the datetime section.
#include <intl.h>

#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// What one scanning call gave: a pointer or null, its text and the status.
struct Got {
    bool delivered;
    std::string text;
    INTL_INT status;
    friend bool operator==(const Got &, const Got &) = default;
    friend std::ostream &operator<<(std::ostream &os, const Got &g) {
        return os << (g.delivered ? "\"" + g.text + "\"" : "null") << '/' << g.status;
    }
};

Got item(const char *p, INTL_INT status) {
    return {p != nullptr, p ? p : "", status};
}
Got end(INTL_INT status = 1) {
    return {false, "", status};
}

// A file with one comment line and one section, whose entry k has the value
// text given (the text goes on to the end of the file).
std::string entry_file(const std::string &value_text) {
    return "; c\n[s]\nk =" + value_text;
}

class Locfile : public ::testing::Test {
  protected:
    void TearDown() override {
        if (opened_) {
            EXPECT_EQ(intl_close(&lf_), INTL_OK);
        }
    }

    // Writes bytes to a new file of the temporary directory.
    std::string write_file(const std::string &bytes) {
        char name[32];
        std::snprintf(name, sizeof name, "f%d.loc", files_++);
        return dir_.write(name, bytes);
    }

    // Opens bytes as a file, closing the file opened before.
    INTL_INT open(const std::string &bytes) {
        if (opened_) {
            EXPECT_EQ(intl_close(&lf_), INTL_OK);
        }
        const INTL_INT rc = intl_open(write_file(bytes).c_str(), &lf_);
        opened_ = rc != INTL_E_OPEN;
        return rc;
    }

    // A record reading raw lines, with no syntax characters set.
    INTL_LOCFILE raw(const std::string &bytes) {
        INTL_LOCFILE lf{};
        lf.file = intl_iocsfopen(write_file(bytes).c_str(), 1);
        return lf;
    }

    Got line(INTL_LOCFILE &lf) {
        INTL_INT status = 99;
        const char *p = intl_nextline(&lf, &status);
        return item(p, status);
    }
    Got section() {
        INTL_INT status = 99;
        const char *p = intl_nextsection(&lf_, &status);
        return item(p, status);
    }
    Got entry() {
        INTL_INT status = 99;
        const char *p = intl_nextentry(&lf_, &status);
        return item(p, status);
    }
    Got value() {
        INTL_INT status = 99;
        const char *p = intl_nextvalue(&lf_, &status);
        return item(p, status);
    }

    // Values of the current entry up to the end of its list; a broken
    // hexadecimal pair does not end the list.
    std::vector<Got> values() {
        std::vector<Got> got;
        do
            got.push_back(value());
        while ((got.back().delivered || got.back().status == INTL_E_ODDHEX) && got.size() < 20);
        return got;
    }

    // Opens entry_file(value_text) and moves to the entry's values.
    void open_entry(const std::string &value_text) {
        ASSERT_EQ(open(entry_file(value_text)), INTL_OK);
        ASSERT_EQ(section(), item("s", 0));
        ASSERT_EQ(entry(), item("k", 0));
    }

    TempDir dir_;
    int files_ = 0;
    INTL_LOCFILE lf_{};
    bool opened_ = false;
};

// ---------------------------------------------------------------- lines

TEST_F(Locfile, LineDeliversWholeLinesAndCountsThem) {
    const std::string longest(510, 'a');
    INTL_LOCFILE lf = raw("\n" + longest + "\nlast");
    EXPECT_EQ(line(lf), item("\n", 0));
    EXPECT_EQ(lf.linelen, 0);
    EXPECT_EQ(line(lf), item((longest + "\n").c_str(), 0));
    EXPECT_EQ(lf.linelen, 510);
    // A last line without a newline is never delivered.
    EXPECT_EQ(line(lf), end());
    EXPECT_EQ(lf.eof, 1);
    EXPECT_EQ(line(lf), end());
    EXPECT_EQ(intl_linenum(&lf), 2);
    EXPECT_EQ(intl_close(&lf), INTL_OK);
}

TEST_F(Locfile, LineTooLongOrHoldingZeroByteIsRefusedButCounted) {
    INTL_LOCFILE lf = raw(std::string(511, 'a') + "\n" + std::string(512, 'b') + "\na\0b\n"s);
    EXPECT_EQ(line(lf), end(INTL_E_LINELONG));
    EXPECT_EQ(line(lf), item("\n", 0)); // the rest of the long line
    EXPECT_EQ(line(lf), end(INTL_E_LINELONG));
    EXPECT_EQ(line(lf), item("b\n", 0));
    EXPECT_EQ(line(lf), end(INTL_E_LINELONG));
    EXPECT_EQ(intl_linenum(&lf), 5);
    EXPECT_EQ(intl_close(&lf), INTL_OK);
}

TEST_F(Locfile, HeadingStopsLineReadingUntilNextSection) {
    INTL_LOCFILE lf = raw("a\n[h]\nb\n");
    lf.leftsection = '[';
    EXPECT_EQ(line(lf), item("a\n", 0));
    EXPECT_EQ(line(lf), end());
    EXPECT_EQ(lf.end_of_section, 1);
    EXPECT_EQ(line(lf), end());
    EXPECT_STREQ(lf.line, "[h]\n");
    EXPECT_EQ(intl_linenum(&lf), 2);
    EXPECT_EQ(intl_close(&lf), INTL_OK);
}

TEST_F(Locfile, ScannersCheckStatusThenRecord) {
    using Scan = char *(*)(INTL_LOCFILE *, INTL_INT *);
    for (Scan scan : {Scan{intl_nextline}, Scan{intl_nextsection}, Scan{intl_nextentry},
                      Scan{intl_nextvalue}}) {
        INTL_LOCFILE lf{};
        lf.eof = 1;
        INTL_INT status = 99;
        EXPECT_EQ(scan(&lf, nullptr), nullptr);
        EXPECT_EQ(scan(nullptr, &status), nullptr);
        EXPECT_EQ(status, INTL_E_BADLOCFILE);
        EXPECT_EQ(scan(&lf, &status), nullptr);
        EXPECT_EQ(status, 1);
    }
    EXPECT_EQ(intl_linenum(nullptr), INTL_E_BADLOCFILE);
}

// ---------------------------------------------------------------- opening

TEST_F(Locfile, OpenChecksArguments) {
    INTL_LOCFILE lf{};
    EXPECT_EQ(intl_open(nullptr, &lf), INTL_E_NOLOCNAME);
    EXPECT_EQ(intl_open("x", nullptr), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_open((dir_.path() / "missing").c_str(), &lf), INTL_E_OPEN);
    EXPECT_EQ(intl_close(&lf), INTL_E_CLOSE); // nothing to release
    EXPECT_EQ(intl_fopen(nullptr, &lf), INTL_E_BADFILE);
    INTL_IOCS *stream = intl_iocsfopen(write_file("; c\n[s]\n").c_str(), 1);
    EXPECT_EQ(intl_fopen(stream, nullptr), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_fopen(stream, &lf), INTL_OK);
    EXPECT_EQ(intl_close(&lf), INTL_OK);
    EXPECT_EQ(intl_close(&lf), INTL_E_CLOSE); // a second close frees nothing
    EXPECT_EQ(intl_close(nullptr), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_getversion(nullptr), INTL_E_GENERAL);
}

TEST_F(Locfile, OpenRefusesFilesWithoutCommentOrHeading) {
    const struct {
        std::string bytes;
        INTL_INT rc;
    } cases[] = {
        {"", INTL_E_NOCOMMENT},
        {"\n  \n\t\n", INTL_E_FILEFORMAT},
        {"; a\n  ; b\n", INTL_E_FILEFORMAT},
        {std::string(511, ';') + "\n[s]\n", INTL_E_LINELONG},
        {"; a\n" + std::string(511, 'x') + "\n[s]\n", INTL_E_FILEFORMAT},
        {"; a\n  [s]\n", INTL_E_FILEFORMAT}, // every heading begins in column one
        {"; a\n[s]", INTL_E_FILEFORMAT},     // no newline: never read
        {"; c\n[file format]\nversion = 4.10\n", INTL_E_BADVERSION},
        {"; c\n[file format]\nversion = 4.2.10\n", INTL_E_GENERAL},
        {"; c\n[file format]\nversion =\n", INTL_E_GENERAL},
        {"; c\n[file format]\nversion = 4.\n", INTL_E_BADVERSION},
        {"; c\n[file format]\nversion = 123\n", INTL_E_BADVERSION},
        {"; c\n[file format]\nversion = 0x4\n", INTL_E_NOVALUE},
        {"; c\n[file format]\nescape = \\\n[s]\n", INTL_OK},
        {"; c\n[file format]\nlist_separator = \\\n[s]\n", INTL_E_NOVALUE},
        {"; c\n[file format]\nbroken\n", INTL_E_NOENTRY},
    };
    for (const auto &c : cases) {
        INTL_LOCFILE lf{};
        const std::string path = write_file(c.bytes);
        EXPECT_EQ(intl_open(path.c_str(), &lf), c.rc) << c.bytes;
        // The stream stays in the record after a failed open.
        EXPECT_EQ(intl_close(&lf), INTL_OK);
    }
}

TEST_F(Locfile, VersionTextsGiveTheirNumbers) {
    const std::pair<const char *, INTL_INT> cases[] = {{"4", 400},       {"4.2", 420},
                                                       {"4.2.0", 420},   {"12.1.3", 1213},
                                                       {"10.0.1", 1001}, {"'5.1'", 510}};
    for (const auto &[text, number] : cases) {
        INTL_LOCFILE lf{};
        const std::string path =
            write_file("; c\n[file format]\nversion = " + std::string(text) + "\n");
        EXPECT_EQ(intl_open(path.c_str(), &lf), INTL_OK) << text;
        EXPECT_EQ(intl_getversion(&lf), number) << text;
        EXPECT_EQ(intl_close(&lf), INTL_OK);
    }
}

TEST_F(Locfile, OpenWithoutFileFormatKeepsDefaults) {
    ASSERT_EQ(open("\n   ; comment\n\n[first]\nk = a, b\n"), INTL_OK);
    EXPECT_EQ(lf_.comment_char, ';');
    EXPECT_EQ(lf_.leftsection, '[');
    EXPECT_EQ(lf_.rightsection, ']');
    EXPECT_EQ(lf_.list_sep, ',');
    EXPECT_EQ(lf_.escape, '\\');
    EXPECT_EQ(intl_getversion(&lf_), 420);
    EXPECT_EQ(intl_linenum(&lf_), 4);
    EXPECT_EQ(entry(), end()); // before the first section
    EXPECT_EQ(section(), item("first", 0));
    EXPECT_EQ(entry(), item("k", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("a", 0), item("b", 0), end()}));
}

TEST_F(Locfile, FileDeclaresItsOwnSyntax) {
    ASSERT_EQ(open("# comment\n<file format>\nversion = 5\nlist_separator = \";\"\n"
                   "escape = /\n<s> note\nk = a;b,c # x/;y\nfirst/\nsecond = 1\n"),
              INTL_OK);
    EXPECT_EQ(lf_.comment_char, '#');
    EXPECT_EQ(lf_.rightsection, '>');
    EXPECT_EQ(intl_getversion(&lf_), 500);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("k", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("a", 0), item("b,c", 0), end()}));
    EXPECT_EQ(entry(), item("first/second", 0)); // a name keeps its escape
}

TEST_F(Locfile, FileFormatStatesDefaultsInPlain) {
    // Neither the separator nor the escape at the end of its line swallows
    // the line after it.
    ASSERT_EQ(open("; c\n[file format]\nauthor = me\nlist_separator = ,\nescape = \\\nversion = "
                   "5\n[s]\n"),
              INTL_OK);
    EXPECT_EQ(lf_.list_sep, ',');
    EXPECT_EQ(lf_.escape, '\\');
    EXPECT_EQ(intl_getversion(&lf_), 500);
    EXPECT_EQ(intl_linenum(&lf_), 7) << "other entries of the section are passed over";
    EXPECT_EQ(section(), item("s", 0));
}

TEST_F(Locfile, FirstHeadingEdges) {
    // The first non-blank character, an opening bracket, is the comment
    // character, so the heading after it is the first heading.
    ASSERT_EQ(open("[c]\n[file format]\n(file format)\nversion = 4\n(s)\n"), INTL_OK);
    EXPECT_EQ(lf_.comment_char, '[');
    EXPECT_EQ(lf_.leftsection, '(');
    EXPECT_EQ(intl_getversion(&lf_), 400);
    EXPECT_EQ(section(), item("s", 0));
    // CRLF lines and trailing blanks: the closing bracket is still "]".
    ASSERT_EQ(open("; c\r\n[file format]  \r\nversion = 4.1\r\n[s]\r\n"), INTL_OK);
    EXPECT_EQ(lf_.rightsection, ']');
    EXPECT_EQ(intl_getversion(&lf_), 410);
    EXPECT_EQ(section(), item("s", 0));
    // A heading of one character names no section.
    ASSERT_EQ(open("; c\n[\nversion = 4\n"), INTL_OK);
    EXPECT_EQ(lf_.rightsection, '[');
    EXPECT_EQ(intl_getversion(&lf_), 420);
}

TEST_F(Locfile, FileOfFileFormatOnlyEndsAtOpen) {
    ASSERT_EQ(open("; c\n[file format]\nversion = 4\n"), INTL_OK);
    EXPECT_EQ(lf_.eof, 1);
    EXPECT_EQ(lf_.end_of_section, 1);
    EXPECT_EQ(section(), end());
}

TEST_F(Locfile, NewlineAsSyntaxCharacterNeverPassesTheLine) {
    ASSERT_EQ(open("; c\n[file format]\nlist_separator = 0x0a\n[s]\nk = a b\nm = \"x\n"), INTL_OK);
    EXPECT_EQ(lf_.list_sep, '\n');
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("k", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("a b", 0), end()}));
    EXPECT_EQ(entry(), item("m", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("x", 0), end()}));
    ASSERT_EQ(
        open("; c\n[file format]\nescape = 0x0a\nlist_separator = \"\"\n[s]\nk = a,b\nm = 1\n"),
        INTL_OK);
    EXPECT_EQ(lf_.escape, '\n');
    EXPECT_EQ(lf_.list_sep, '\0');
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("k", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("a,b", 0), end()}));
    EXPECT_EQ(entry(), item("m", 0));
}

// ---------------------------------------------------------------- sections and entries

TEST_F(Locfile, EntriesSkipBlankAndCommentLines) {
    ASSERT_EQ(open("; c\n[s]\n\n  ; note\n\tfirst day = 7\n =x\n" + std::string(62, 'n') +
                   "=1\n[empty]\n[last]\nk = 1\n"),
              INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("firstday", 0));
    EXPECT_EQ(entry(), item("", 0));
    EXPECT_EQ(value(), item("x", 0));
    EXPECT_EQ(entry(), item(std::string(62, 'n').c_str(), 0));
    EXPECT_EQ(entry(), end());
    EXPECT_EQ(lf_.end_of_section, 1);
    EXPECT_EQ(section(), item("empty", 0));
    EXPECT_EQ(entry(), end());
    EXPECT_EQ(section(), item("last", 0));
    EXPECT_EQ(section(), end()); // skips the last section's entries
    EXPECT_EQ(entry(), end());
}

TEST_F(Locfile, FaultyEntryLines) {
    const struct {
        std::string line;
        INTL_INT status;
    } cases[] = {
        {std::string(63, 'n') + "=1\n", INTL_E_ENTRYLONG},
        {"no equals sign\n", INTL_E_NOENTRY},
        {"k ; note = 1\n", 0}, // a comment after a name belongs to it
        {"k ; note\n", INTL_E_NOENTRY},
        {"  [t]\n", INTL_E_NOENTRY}, // not a heading
        {"na\\\n\n", INTL_E_NOENTRY},
        {"na\\\n", 1},      // a name broken off by the end of the file
        {"na\\\n[t]\n", 1}, // or by a heading
        {std::string(511, 'k') + "=1\n", INTL_E_LINELONG},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(open("; c\n[s]\n" + c.line), INTL_OK);
        EXPECT_EQ(section(), item("s", 0));
        EXPECT_EQ(entry().status, c.status) << c.line;
    }
    // A faulty line in a skipped section fails the move to the next one.
    ASSERT_EQ(open("; c\n[s]\nbroken\n[t]\n"), INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(section(), end(INTL_E_NOENTRY));
}

TEST_F(Locfile, HeadingNames) {
    ASSERT_EQ(open("; c\n[file format]\n[ spaced ] trailing ] text\n[" + std::string(62, 'a') +
                   "]\n[" + std::string(63, 'b') + "]\n"),
              INTL_OK);
    EXPECT_EQ(section(), item(" spaced ", 0));
    EXPECT_EQ(section(), item(std::string(62, 'a').c_str(), 0));
    EXPECT_EQ(section(), end(INTL_E_HEADING));
    EXPECT_EQ(lf_.end_of_section, 1);
    EXPECT_EQ(section(), end(INTL_E_HEADING));
    ASSERT_EQ(open("; c\n[s]\n[open\n"), INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(section(), end(INTL_E_HEADING));
}

TEST_F(Locfile, UnreadValuesAreSkippedWithTheirContinuationLines) {
    // Only an odd run of escape characters continues a line: C:\\ is a
    // value ending in an escaped escape character.
    ASSERT_EQ(open("; c\n[s]\na = 1, \\\n 2, \\\n 3\npath = C:\\\\\nnext = 1\nodd = \\\\\\\n"
                   " x\nlast = 2\n"),
              INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("a", 0));
    EXPECT_EQ(entry(), item("path", 0));
    EXPECT_EQ(entry(), item("next", 0));
    EXPECT_EQ(entry(), item("odd", 0));
    EXPECT_EQ(entry(), item("last", 0));
    // Continuation lines made of escape characters alone: the run is counted
    // to the start of the line and no further.
    ASSERT_EQ(open("; c\n[s]\na = 1, \\\n\\\\\\\n x\nb = \\\n\\\\\nc = 3\n"), INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("a", 0));
    EXPECT_EQ(entry(), item("b", 0));
    EXPECT_EQ(entry(), item("c", 0));
    // Unread continuation lines that run into a heading end the section.
    ASSERT_EQ(open("; c\n[s]\na = 1, \\\n[t]\nb = 2\n"), INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("a", 0));
    EXPECT_EQ(entry(), end());
    EXPECT_EQ(section(), item("t", 0));
    // A list that the value scanner ended continues nothing.
    ASSERT_EQ(open("; c\n[s]\npath = C:\\\\\nnext = 1 ; note \\\nlast = 2\n"), INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("path", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("C:\\", 0), end()}));
    EXPECT_EQ(entry(), item("next", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("1", 0), end()}));
    EXPECT_EQ(entry(), item("last", 0));
}

// ---------------------------------------------------------------- values

TEST_F(Locfile, ValueSyntax) {
    const struct {
        std::string text;
        std::vector<Got> got;
    } cases[] = {
        {" a , b ,c\n", {item("a", 0), item("b", 0), item("c", 0), end()}},
        {"\n", {item("", 0), end()}},
        {" a,\n", {item("a", 0), item("", 0), end()}},
        {" \"x, y ; z \" , 'q'\n", {item("x, y ; z ", 0), item("q", 0), end()}},
        {" \"it's\"\n", {item("it's", 0), end()}},
        {" \"say \"\"hi\"\"\", next\n", {item("say \"hi\"", 0), item("next", 0), end()}},
        {" a\"\" 'b' c\"d\"  \n", {item("a b cd", 0), end()}},
        {" \"\"\n", {item("", 0), end()}},
        {" a  \"\"\n", {item("a  ", 0), end()}},
        {" \"open, still\n", {item("open, still", 0), end()}},
        {" a ; b, c\n", {item("a", 0), end()}},
        // Blanks inside a value stay, around a '0' that opens no hexadecimal run too.
        {" a 0 b 0  \n", {item("a 0 b 0", 0), end()}},
        {" 0x41, 0x4142, ab0x41yz, 0x41cd, 0xg, 0x41 42\n",
         {item("A", 0), item("AB", 0), item("abAyz", 0), item("A\xCD", 0), item("g", 0),
          item("A 42", 0), end()}},
        {" \"0x41\", 0X41\n", {item("0x41", 0), item("0X41", 0), end()}},
        {" 0x4A4b, 0xFf\n", {item("JK", 0), item("\xFF", 0), end()}},
        {" 0x414\n", {end(INTL_E_ODDHEX), item("", 0), end()}},
        {" 0x4g, b\n", {end(INTL_E_ODDHEX), item("", 0), item("b", 0), end()}},
        {" a\\,b, x\\;c, \"\\\"\", e\\ \n",
         {item("a,b", 0), item("x;c", 0), item("\"", 0), item("e ", 0), end()}},
        // Before a value the escape character only continues lines.
        {" \\ \\x\n", {item("x", 0), end()}},
        {" \\;c\n", {item("", 0), end()}},
        {" a\\\n  b, c\n", {item("a  b", 0), item("c", 0), end()}},
        {" \\\n  b\n", {item("b", 0), end()}},
        // A tab is as blank as a space, around values and before a continuation.
        {"\ta\t,\tb\t\n", {item("a", 0), item("b", 0), end()}},
        {"\t\\\n\t b\n", {item("b", 0), end()}},
        {" a\\\n[t]\n", {item("a", 0), end()}},
        {" \\\n[t]\n", {end()}},
        {" a\\\n", {item("a", 0), end()}},
        {" a, \\\n" + std::string(511, 'x') + "\n", {item("a", 0), end(INTL_E_LINELONG)}},
        {" a\\\n" + std::string(511, 'x') + "\n", {end(INTL_E_LINELONG)}},
    };
    for (const auto &c : cases) {
        open_entry(c.text);
        EXPECT_EQ(values(), c.got) << c.text;
    }
}

TEST_F(Locfile, BrokenHexPairStopsAtTheNewline) {
    open_entry(" 0x414\n");
    EXPECT_EQ(value(), end(INTL_E_ODDHEX));
    EXPECT_EQ(lf_.linepos, lf_.linelen);
}

TEST_F(Locfile, SeparatorAndEscapeEntriesDeliverTheirCharacter) {
    ASSERT_EQ(open("; c\n[s]\nlist_separator = ,\nescape = \\\nescape = \\ x\nnext = 1\n"),
              INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("list_separator", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item(",", 0), item("", 0), end()}));
    EXPECT_EQ(entry(), item("escape", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("\\", 0), end()}));
    EXPECT_EQ(entry(), item("escape", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("\\", 0), item("x", 0), end()}));
    EXPECT_EQ(entry(), item("next", 0));
    // Met inside a value, the escape character is delivered alone without
    // being consumed, so the next value delivers it again.
    ASSERT_EQ(open("; c\n[s]\nescape = a\\b\n"), INTL_OK);
    EXPECT_EQ(section(), item("s", 0));
    EXPECT_EQ(entry(), item("escape", 0));
    EXPECT_EQ(values(), (std::vector<Got>{item("\\", 0), item("\\", 0), item("b", 0), end()}));
}

TEST_F(Locfile, LongValuesComeInPieces) {
    const std::string a(300, 'a');
    const struct {
        std::string text;
        std::vector<Got> got;
    } cases[] = {
        {" " + a + "\\\n" + std::string(300, 'b') + "\n",
         {item((a + std::string(212, 'b')).c_str(), 1), item(std::string(88, 'b').c_str(), 0),
          end()}},
        {" " + a + "\\\n" + std::string(212, 'b') + "\n",
         {item((a + std::string(212, 'b')).c_str(), 1), item("", 0), end()}},
        // A piece is cut after exactly 512 bytes, blanks included ...
        {" " + a + "\\\n" + std::string(210, 'b') + "   c\n",
         {item((a + std::string(210, 'b') + "  ").c_str(), 1), item("c", 0), end()}},
        // ... outside quotes the next piece starts like any value ...
        {" " + a + "\\\n" + std::string(212, 'b') + "  c\n",
         {item((a + std::string(212, 'b')).c_str(), 1), item("c", 0), end()}},
        // ... inside quotes it resumes exactly where the piece was cut.
        {" \"" + a + "\\\n" + std::string(212, 'b') + "  \\,c\", d\n",
         {item((a + std::string(212, 'b')).c_str(), 1), item("  ,c", 0), item("d", 0), end()}},
    };
    for (const auto &c : cases) {
        open_entry(c.text);
        EXPECT_EQ(values(), c.got);
    }
}

TEST_F(Locfile, PieceStateIsDroppedByTheNextEntry) {
    open_entry(" \"" + std::string(300, 'a') + "\\\n" + std::string(250, 'a') + "\"\nm = 'x'\n");
    EXPECT_EQ(value().status, 1);
    EXPECT_EQ(lf_.isquoted, 1);
    EXPECT_EQ(entry(), item("m", 0));
    EXPECT_EQ(lf_.isquoted, 0);
    EXPECT_EQ(values(), (std::vector<Got>{item("x", 0), end()}));
}

// ---------------------------------------------------------------- datetime

// Copies text, which must fit, into a fixed field.
template <std::size_t W> void set(char (&field)[W], const std::string &text) {
    ASSERT_LT(text.size(), W);
    std::memcpy(field, text.c_str(), text.size() + 1);
}

INTL_DATEINFO defaults() {
    INTL_DATEINFO d{};
    const char *months[] = {"January", "February", "March",     "April",   "May",      "June",
                            "July",    "August",   "September", "October", "November", "December"};
    const char *shorts[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char *days[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                          "Friday", "Saturday", "Sunday"};
    for (int i = 0; i < 12; ++i) {
        set(d.months[i], months[i]);
        set(d.shortmonths[i], shorts[i]);
    }
    for (int i = 0; i < 7; ++i)
        set(d.days[i], days[i]);
    d.firstday = 7;
    set(d.dateorder, "mdy");
    d.is12hour = 1;
    return d;
}

bool same_date(const INTL_DATEINFO &a, const INTL_DATEINFO &b) {
    for (int i = 0; i < 12; ++i)
        if (std::string(a.months[i]) != b.months[i] ||
            std::string(a.shortmonths[i]) != b.shortmonths[i])
            return false;
    for (int i = 0; i < 7; ++i)
        if (std::string(a.days[i]) != b.days[i])
            return false;
    return a.firstday == b.firstday && std::string(a.dateorder) == b.dateorder &&
           a.is12hour == b.is12hour;
}

// Names "<prefix>1" to "<prefix><count>", separated by commas.
std::string names(int count, const char *prefix) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text.append(i > 1 ? "," : "").append(prefix).append(std::to_string(i));
    return text;
}

template <std::size_t N, std::size_t W>
void set_names(char (&fields)[N][W], int count, const char *prefix) {
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%s%d", prefix, i + 1);
        set(fields[i], name);
    }
}

TEST_F(Locfile, DatetimeEntries) {
    using Change = void (*)(INTL_DATEINFO &);
    const auto none = [](INTL_DATEINFO &) {};
    const auto european = [](INTL_DATEINFO &d) {
        d.firstday = 1;
        set(d.dateorder, "dmy");
        d.is12hour = 0;
    };
    const struct {
        std::string section;
        INTL_INT rc;
        Change change;
    } cases[] = {
        {"", INTL_OK, none},
        {"other = 1\\\n months = x\n", INTL_OK, none},
        {"first day = 1\n date format = dmy\ntime format =  24 \n", INTL_OK, european},
        // Only the first character of firstday counts; a second dateformat
        // ends the reading unapplied.
        {"firstday=10\ndateformat=dmyx\ntimeformat=24, 12\ndateformat=ymd\nfirstday=3\n", INTL_OK,
         european},
        {"months=" + names(13, "m") + "\n", INTL_OK,
         [](INTL_DATEINFO &d) { set_names(d.months, 12, "m"); }},
        {"months=" + names(11, "m") + "\n", INTL_E_FEWMONTHS,
         [](INTL_DATEINFO &d) { set_names(d.months, 11, "m"); }},
        {"shortmonths=" + names(12, "s") + "\ndays=" + names(7, "d") + "\n", INTL_OK,
         [](INTL_DATEINFO &d) { set_names(d.shortmonths, 12, "s"), set_names(d.days, 7, "d"); }},
        {"shortmonths=" + names(11, "s") + "\n", INTL_E_FEWSHORTMONTHS,
         [](INTL_DATEINFO &d) { set_names(d.shortmonths, 11, "s"); }},
        {"days=" + names(6, "d") + "\n", INTL_E_FEWDAYS,
         [](INTL_DATEINFO &d) { set_names(d.days, 6, "d"); }},
        {"months = 0x4\n", INTL_E_ODDHEX, none},
        {"shortmonths = 0x4\n", INTL_E_FEWSHORTMONTHS, none},
        {"days = \\\n", INTL_E_FEWDAYS, none},
        {"firstday = 0\n", INTL_E_FIRSTDAY, none},
        {"firstday = 8\n", INTL_E_FIRSTDAY, none},
        {"firstday =\n", INTL_E_FIRSTDAY, none},
        {"firstday = \\\n", INTL_E_NOVALUE, none},
        {"dateformat = \\\n", INTL_E_NOVALUE, none},
        {"timeformat = \\\n", INTL_E_NOVALUE, none},
        {"dateformat = ymd\ndateformat = md\n", INTL_OK,
         [](INTL_DATEINFO &d) { set(d.dateorder, "ymd"); }},
        {"dateformat = md\n", INTL_E_DATEORDER, none},
        {"dateformat = ddy\n", INTL_E_DUPDATEFMT,
         [](INTL_DATEINFO &d) { set(d.dateorder, "ddy"); }},
        {"timeformat = 24h\n", INTL_E_TIMEFORMAT, none},
        {"timeformat = \" 24 \"\n", INTL_E_TIMEFORMAT, none},
        {"timeformat = 24\nbroken\n", INTL_E_NOENTRY, [](INTL_DATEINFO &d) { d.is12hour = 0; }},
    };
    for (const auto &c : cases) {
        open_entry("1\n" + c.section);
        INTL_DATEINFO got;
        std::memset(&got, 0x55, sizeof got);
        EXPECT_EQ(intl_datetime(&lf_, &got), c.rc) << c.section;
        INTL_DATEINFO want = defaults();
        c.change(want);
        EXPECT_TRUE(same_date(got, want)) << c.section;
    }
    INTL_DATEINFO info;
    EXPECT_EQ(intl_datetime(nullptr, &info), INTL_E_BADLOCFILE);
    EXPECT_EQ(intl_datetime(&lf_, nullptr), INTL_E_NODATEINFO);
}

TEST_F(Locfile, DatetimeNamesLongerThanTheirFieldAreRefused) {
    using Field = char *(*)(INTL_DATEINFO &, int);
    const struct {
        const char *entry;
        int count;
        std::size_t longest;
        Field field;
    } kinds[] = {
        {"months", 12, 20, [](INTL_DATEINFO &d, int i) { return d.months[i]; }},
        {"shortmonths", 12, 9, [](INTL_DATEINFO &d, int i) { return d.shortmonths[i]; }},
        {"days", 7, 30, [](INTL_DATEINFO &d, int i) { return d.days[i]; }},
    };
    for (const auto &k : kinds) {
        for (std::size_t length : {k.longest, k.longest + 1}) {
            const std::string name(length, '\xE9');
            std::string text = std::string(k.entry) + " = a, " + name;
            for (int i = 2; i < k.count; ++i)
                text += ", z";
            open_entry("1\n" + text + "\n");
            INTL_DATEINFO got;
            const bool fits = length == k.longest;
            EXPECT_EQ(intl_datetime(&lf_, &got), fits ? INTL_OK : INTL_E_VALUELONG) << text;
            INTL_DATEINFO want = defaults();
            EXPECT_STREQ(k.field(got, 0), "a");
            EXPECT_STREQ(k.field(got, 1), fits ? name.c_str() : k.field(want, 1));
            EXPECT_STREQ(k.field(got, 2), fits ? "z" : k.field(want, 2));
        }
    }
}

TEST_F(Locfile, SecondDateformatStopsTheSectionUnread) {
    ASSERT_EQ(open("; c\n[d]\ndateformat = ymd\ndateformat = dmy\ntimeformat = 24\n[next]\n"),
              INTL_OK);
    EXPECT_EQ(section(), item("d", 0));
    INTL_DATEINFO info;
    EXPECT_EQ(intl_datetime(&lf_, &info), INTL_OK);
    EXPECT_STREQ(info.dateorder, "ymd");
    EXPECT_EQ(info.is12hour, 1);
    EXPECT_EQ(entry(), item("timeformat", 0));
    EXPECT_EQ(section(), item("next", 0));
}

// ---------------------------------------------------------------- the shipped sample

TEST_F(Locfile, ShippedDatetimeFileWalksEndToEnd) {
    ASSERT_EQ(intl_open(INTL_TEST_DATA_DIR "/locale/datetime.loc", &lf_), INTL_OK);
    opened_ = true;
    EXPECT_EQ(intl_getversion(&lf_), 420);
    EXPECT_EQ(section(), item("languages", 0));
    std::vector<std::string> names;
    while (entry().delivered)
        names.push_back(lf_.entry + std::string("=") + value().text);
    EXPECT_EQ(names, (std::vector<std::string>{"english=English",
                                               "french=Fran\xE7"
                                               "ais",
                                               "german=Deutsch", "spanish=Espa\xF1ol",
                                               "japanese=\x93\xFA\x96\x7B\x8C\xEA"}));
    struct Language {
        const char *section, *august, *february, *wednesday, *december;
        INTL_INT firstday;
        const char *dateorder;
        INTL_INT is12hour;
    };
    const Language languages[] = {
        {"english", "August", "Feb", "Wednesday", "December", 7, "mdy", 1},
        {"french", "ao\xFBt", "f\xE9vr.", "mercredi",
         "d\xE9"
         "cembre",
         1, "dmy", 0},
        {"german", "August", "Feb", "Mittwoch", "Dezember", 1, "dmy", 0},
        {"spanish", "agosto", "feb", "mi\xE9rcoles", "diciembre", 1, "dmy", 0},
        {"japanese", "\x38\x8C\x8E", "\x32\x8C\x8E", "\x90\x85\x97\x6A\x93\xFA", "\x31\x32\x8C\x8E",
         7, "ymd", 0},
    };
    for (const auto &l : languages) {
        EXPECT_EQ(section(), item(l.section, 0));
        INTL_DATEINFO info;
        ASSERT_EQ(intl_datetime(&lf_, &info), INTL_OK) << l.section;
        EXPECT_STREQ(info.months[7], l.august);
        EXPECT_STREQ(info.months[11], l.december);
        EXPECT_STREQ(info.shortmonths[1], l.february);
        EXPECT_STREQ(info.days[2], l.wednesday);
        EXPECT_EQ(info.firstday, l.firstday);
        EXPECT_STREQ(info.dateorder, l.dateorder);
        EXPECT_EQ(info.is12hour, l.is12hour);
    }
    EXPECT_EQ(section(), end());
    EXPECT_EQ(intl_linenum(&lf_), 68);
}

} // namespace
