// intl_errstr: the message of every status code.
#include "frame/frame.h"

#include <array>

namespace {

constexpr std::array<const char *, 49> errstrings = {
    "Unknown error",
    "General Intl-Library error",
    "Syntax error:  no value found",
    "Syntax error:  no entry found",
    "Firstday value in datetime section is out of range",
    "Element of dateorder entry is invalid.  Valid elements are 'm', 'd', and 'y'",
    "Time format entry in datetime section is invalid",
    "Copying string would result in overflow of buffer",
    "Unknown version number in compiled translation file",
    "Entry too long",
    "Value too long",
    "Odd number of hex digits in localization file",
    "Bad file pointer",
    "Bad INTL_LOCFILE pointer",
    "Syntax error:  unable to get comment character",
    "Syntax error in file format section of locfile",
    "Bad version number",
    "Unable to build string:  illegal place holder found in text string",
    "Unknown datatype token in intl_strbuild() or intl_strblist()",
    "Unable to build string: syntax error found in formats string",
    "Custom format specifier too long",
    "No custom format specifier found to match specifier in formats string",
    "Null dateinfo structure",
    "Null convert list structure",
    "Null format string parameter to intl_fmtinstall()",
    "Null custom format conversion routine",
    "intl_fmtsize():  listsize must be greater than zero",
    "Null buffer",
    "Negative buffer length",
    "Null charset directory",
    "Null translation file name",
    "Null translation table",
    "Null localization file name",
    "Null text string",
    "intl_strblist():  Null INTL_ARGVAL structure",
    "intl_strblist():  Negative number of arguments",
    "intl_xlate():  Null source string",
    "Null pointer",
    "intl_strblist():  Only 0, 1, or 2 stars allowed in format string",
    "Too few months in datetime section",
    "Too few short onths in datetime section",
    "Too few days in datetime section",
    "Pathname too long",
    "Line in localization file too long",
    "Duplicate dateformat value",
    "Syntax error in section heading",
    "Compiled translation file needs a larger buffer than given",
    "Charset or translation file name is empty or has a '..' component",
    "Compiled translation file is not a regular file",
};

constexpr std::array<const char *, 8> oserrstrings = {
    "General operating system error",
    "Unable to open file",
    "Unable to close file",
    "Unable to read file",
    "Unable to write to file",
    "End of file",
    "Couldn't find the user 'korvan'",
    "Unable to access file information",
};

// Codes -151 and below name operating-system rows; -150 does not.
constexpr INTL_INT os_code_base = -150;

} // namespace

extern "C" const char *intl_errstr(INTL_INT interrno) {
    if (interrno > 0 || interrno < -255)
        return errstrings[0];
    if (interrno < os_code_base) {
        const auto row = static_cast<std::size_t>(os_code_base - interrno);
        return row < oserrstrings.size() ? oserrstrings[row] : errstrings[0];
    }
    const auto row = static_cast<std::size_t>(-interrno);
    return row < errstrings.size() ? errstrings[row] : errstrings[0];
}
