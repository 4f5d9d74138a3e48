/*
 * intl.h - public interface of libintl_r, the reentrant internationalization
 * library: localization files, datetime sections, message building with
 * numbered placeholders and character-set translation.
 *
 * Conventions
 *   - Operations that can fail return a status code: INTL_OK (1) for
 *     success, 0 or a negative INTL_E_* code otherwise. intl_errstr() turns
 *     any code into its message.
 *   - Operations that return a length or a count return it (0 or more) on
 *     success and a negative code on failure.
 *   - The scanning operations of the localization file reader return a
 *     pointer into the caller's INTL_LOCFILE and report through a status
 *     out-parameter: 0 with an item, 1 with null at the end of a level, a
 *     negative code with null on error (and 1 with a pointer for a piece of a
 *     value longer than the value field).
 *   - The table-building operations (intl_map_*) return 0 for success, -1
 *     for a null mapping and -2 for a sequence that is too long.
 *   - The stream operations return pointers, counts, 0 and -1 in the manner
 *     of the C library's file calls.
 *
 * Threads
 *   The library starts no threads, takes no locks and keeps no state between
 *   calls but one. Every call is reentrant: any number of threads may use it
 *   at once as long as each record (reader record, stream, date record,
 *   output buffer, translation buffer, out-parameters) is used by one thread
 *   at a time.
 *   - Shared for reading by any number of threads: a conversion list (while
 *     nobody installs into it with intl_fmtinstall()) and loaded translation
 *     tables (while nobody writes their buffer or reloads into it). The
 *     caller's conversion routines then run on several threads at once and
 *     must themselves be reentrant.
 *   - Not thread-safe: intl_sethome(). The installation-directory override
 *     is the one process-wide mutable state, so intl_sethome() must not run
 *     at the same time as intl_sethome() or intl_home() (and so
 *     intl_xlatesize() and the loads, which call it) in another thread;
 *     set it once before starting threads.
 *   - intl_home() reads the environment with getenv(): do not change the
 *     environment (setenv, putenv) while it runs. It looks the user up with
 *     the reentrant getpwnam_r().
 *   - intl__print_xlate() only reads its table, but it prints through
 *     stdout: the output of concurrent dumps (and of other writers to
 *     stdout) may interleave, even within a line.
 *   - The allocation wrappers are as thread-safe as malloc() and free().
 */
#ifndef INTL_H
#define INTL_H

#include <stdarg.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Scalar types                                                              */

typedef int32_t INTL_INT;
typedef uint32_t INTL_UINT;
typedef int32_t INTL_LONG;
typedef uint32_t INTL_ULONG;
typedef char INTL_BYTE;
typedef void INTL_VOID;
typedef double INTL_FLOAT;

/* ------------------------------------------------------------------------ */
/* Status codes                                                              */

enum intl_status {
    INTL_OK = 1,
    INTL_E_UNKNOWN = 0,          /* "Unknown error" */
    INTL_E_GENERAL = -1,         /* "General Intl-Library error" */
    INTL_E_NOVALUE = -2,         /* "Syntax error:  no value found" */
    INTL_E_NOENTRY = -3,         /* "Syntax error:  no entry found" */
    INTL_E_FIRSTDAY = -4,        /* first day out of range */
    INTL_E_DATEORDER = -5,       /* invalid dateformat element */
    INTL_E_TIMEFORMAT = -6,      /* invalid time format */
    INTL_E_OVERFLOW = -7,        /* result would overflow the buffer */
    INTL_E_XLTVERSION = -8,      /* unknown compiled translation version */
    INTL_E_ENTRYLONG = -9,       /* "Entry too long" */
    INTL_E_VALUELONG = -10,      /* "Value too long" */
    INTL_E_ODDHEX = -11,         /* odd number of hex digits */
    INTL_E_BADFILE = -12,        /* "Bad file pointer" */
    INTL_E_BADLOCFILE = -13,     /* "Bad INTL_LOCFILE pointer" */
    INTL_E_NOCOMMENT = -14,      /* unable to get comment character */
    INTL_E_FILEFORMAT = -15,     /* syntax error in file format section */
    INTL_E_BADVERSION = -16,     /* "Bad version number" */
    INTL_E_PLACEHOLDER = -17,    /* illegal placeholder in template */
    INTL_E_DATATYPE = -18,       /* unknown value type code */
    INTL_E_FORMATSYNTAX = -19,   /* syntax error in formats string */
    INTL_E_CUSTOMLONG = -20,     /* custom specifier name too long */
    INTL_E_NOCUSTOM = -21,       /* no matching custom specifier */
    INTL_E_NODATEINFO = -22,     /* "Null dateinfo structure" */
    INTL_E_NOCVTLIST = -23,      /* "Null convert list structure" */
    INTL_E_NOFORMATS = -24,      /* null formats string */
    INTL_E_NOCONVERT = -25,      /* null conversion routine */
    INTL_E_LISTSIZE = -26,       /* list size below 1 */
    INTL_E_NULLBUF = -27,        /* "Null buffer" */
    INTL_E_BUFLEN = -28,         /* "Negative buffer length" */
    INTL_E_NOCHARSET = -29,      /* "Null charset directory" */
    INTL_E_NOXLTNAME = -30,      /* "Null translation file name" */
    INTL_E_NOXLTTABLE = -31,     /* "Null translation table" */
    INTL_E_NOLOCNAME = -32,      /* "Null localization file name" */
    INTL_E_NOTEXT = -33,         /* "Null text string" */
    INTL_E_NOARGVAL = -34,       /* null INTL_ARGVAL array */
    INTL_E_NEGARGS = -35,        /* negative number of arguments */
    INTL_E_NOSOURCE = -36,       /* null source string */
    INTL_E_NULLPTR = -37,        /* "Null pointer" */
    INTL_E_STARS = -38,          /* only 0, 1 or 2 stars */
    INTL_E_FEWMONTHS = -39,      /* too few months */
    INTL_E_FEWSHORTMONTHS = -40, /* too few short months */
    INTL_E_FEWDAYS = -41,        /* too few days */
    INTL_E_PATHLONG = -42,       /* "Pathname too long" */
    INTL_E_LINELONG = -43,       /* line in localization file too long */
    INTL_E_DUPDATEFMT = -44,     /* "Duplicate dateformat value" */
    INTL_E_HEADING = -45,        /* syntax error in section heading */
    INTL_E_XLTBUFSMALL = -46,    /* compiled file needs a larger buffer */
    INTL_E_XLTBADNAME = -47,     /* charset or file name leaves charsets/ */
    INTL_E_XLTNOTFILE = -48,     /* compiled file is not a regular file */
    INTL_E_OPEN = -151,          /* "Unable to open file" */
    INTL_E_CLOSE = -152,         /* "Unable to close file" */
    INTL_E_READ = -153,          /* "Unable to read file" */
    INTL_E_WRITE = -154,         /* "Unable to write to file" */
    INTL_E_EOF = -155,           /* "End of file" */
    INTL_E_NOUSER = -156,        /* no user 'korvan' */
    INTL_E_STAT = -157,          /* "Unable to access file information" */
    INTL_E_NOMEM = -158          /* a memory allocation failed */
};

/* ------------------------------------------------------------------------ */
/* Library frame                                                             */

/* Start and end calls: both return 1 and do nothing; neither is required. */
INTL_INT intl_init(void);
INTL_INT intl_exit(void);

/* The constant message of any status code; never null. */
const char *intl_errstr(INTL_INT interrno);

/* The version text: "/"-separated product, release and build fields. */
const char *intl__getVdate(void);

/* A fixed notice text. */
extern const char *const intl__Vcopyright;

/* Allocation wrappers; every allocation of the library goes through them.
 * comn_calloc returns null when nelem * size does not fit 32 bits. */
void *comn_malloc(INTL_UINT size);
void comn_free(void *ptr);
void *comn_realloc(void *ptr, INTL_UINT size);
void *comn_calloc(INTL_UINT nelem, INTL_UINT size);
void comn_cfree(void *ptr);

/* ------------------------------------------------------------------------ */
/* Installation directory                                                    */

/* Sets (or with null or "" clears) the process-wide override; at most 511
 * characters, else -42. Not thread-safe: see "Threads" above.
 *
 * The data directory (the one holding charsets/ and locale/) is named by
 * the installed package: `pkg-config --variable=datadir intl_r`, or
 * intl_r_DATADIR after find_package(intl_r). A client builds it in and
 * makes this one call before loading tables, since without it the lookup
 * asks only $KORVAN and the user korvan (and fails with -156 without them):
 *
 *     cc app.c -DAPP_INTL_DATADIR="\"$(pkg-config --variable=datadir intl_r)\"" ...
 *     intl_sethome(APP_INTL_DATADIR);
 */
INTL_INT intl_sethome(const char *path);

/* Writes the installation directory into buf (buflen bytes, terminator
 * included) and returns its length, not 1: the override, else $KORVAN, else
 * the home directory of the user "korvan". -7 when buf is too small; buf is
 * untouched on any failure. */
INTL_INT intl_home(char *buf, INTL_INT buflen);

/* Copies the value of envvar into buf; returns its length, 0 when unset. */
INTL_INT intlgetenv(char *buf, INTL_INT buflen, const char *envvar);

/* ------------------------------------------------------------------------ */
/* Buffered file stream                                                      */

typedef struct intl_iocs {
    INTL_INT ne_cnt;    /* unread bytes in the buffer, from ne_ptr on */
    INTL_BYTE *ne_ptr;  /* next unread byte */
    INTL_BYTE *ne_base; /* start of the 512-byte buffer */
    INTL_INT ne_bsize;  /* capacity of the buffer: 512 */
    INTL_INT ne_flag;   /* open flags of the descriptor */
    INTL_INT ne_fd;     /* the file descriptor */
} INTL_IOCS;

/* Open-mode codes: 1,2 read; 3,4 write+create+truncate; 5,6 write+create+
 * append; 7,8 read/write; 9,10 read/write+create+truncate; 11,12 read/write+
 * create+append; 13 read/write+create+exclusive. Null on failure. */
INTL_IOCS *intl_iocsfopen(const INTL_BYTE *intl_name, INTL_INT intl_type);

/* Reads whole items; returns how many were copied. */
INTL_INT intl_iocsfread(INTL_BYTE *intl_ptr, INTL_INT intl_size, INTL_INT intl_cnt,
                        INTL_IOCS *intl_iocs);

/* Reads up to intl_size - 1 bytes, through the first newline (kept);
 * null at end of file, where a last line without a newline is dropped. */
INTL_BYTE *intl_iocsfgets(INTL_BYTE *intl_ptr, INTL_INT intl_size, INTL_IOCS *intl_iocs);

/* One unbuffered write; returns what write(2) returns. */
INTL_INT intl_iocsfwrite(const INTL_BYTE *intl_ptr, INTL_INT intl_size, INTL_INT intl_cnt,
                         INTL_IOCS *intl_iocs);

/* Returns 0 or -1; SEEK_CUR seeks inside the buffer keep it. */
INTL_LONG intl_iocsfseek(INTL_IOCS *intl_iocs, INTL_LONG intl_offset, INTL_INT intl_flag);

/* Closes and frees the stream whatever happens; 0 or -1. */
INTL_INT intl_iocsfclose(INTL_IOCS *intl_iocs);

/* ------------------------------------------------------------------------ */
/* Localization files                                                        */

/* The reader's record, one per open file. The caller allocates it (no
 * preparation needed: intl_fopen clears it), passes it to every call and
 * never writes it; the fields are for reading. The file syntax is in
 * intl-files(5). */
typedef struct intl_locfile {
    INTL_INT version;        /* 100 * major + 10 * minor + patch; default 420 */
    INTL_INT linenum;        /* lines read so far: the number of the line in line */
    INTL_INT linelen;        /* index of the newline in line */
    INTL_INT linepos;        /* next character to scan */
    INTL_INT end_of_list;    /* the current entry's values are all read */
    INTL_INT end_of_section; /* line holds the next heading */
    INTL_INT eof;            /* the stream has no more lines */
    char comment_char;       /* the file's first character that is not white space */
    char leftsection;        /* first character of the first heading */
    char rightsection;       /* last character of the first heading's line */
    char list_sep;           /* from [file format] list_separator; default ',' */
    char escape;             /* from [file format] escape; default backslash */
    char line[512];          /* the current line: at most 510 bytes, newline, NUL */
    char section[64];        /* name of the current section (at most 62 bytes) */
    char entry[64];          /* name of the current entry (at most 62 bytes) */
    char value[513];         /* the current value, or a 512-byte piece of it */
    void *file;              /* the INTL_IOCS stream, owned from open to close */
    INTL_INT isquoted;       /* a piece ended inside quotes (quote_char) */
    char quote_char;
} INTL_LOCFILE;

/* What intl_datetime fills: English defaults, overwritten by the section's
 * entries. Every name is NUL-terminated within its field. */
typedef struct intl_dateinfo {
    char months[12][21];      /* January first; at most 20 bytes each */
    char shortmonths[12][10]; /* at most 9 bytes each */
    char days[7][31];         /* Monday first; at most 30 bytes each */
    INTL_INT firstday;        /* 1..7 in the order of days: 7 is Sunday by default */
    char dateorder[4];        /* a permutation of "mdy" */
    INTL_INT is12hour;        /* 1 for a 12-hour clock, 0 for 24 hours */
} INTL_DATEINFO;

/* The scanners return a pointer into the record (overwritten by the next
 * call that fills the same field) and report through their status variable:
 * 0 with an item; 1 with null at the end of the level; a negative code with
 * null on error; and, from intl_nextvalue only, 1 with a pointer for the
 * first 512 bytes of a longer value, whose rest the next call delivers. With
 * a null status pointer they return null and touch nothing. Walk a file with
 * intl_nextsection until null, in each section intl_nextentry until null,
 * and for each entry intl_nextvalue as long as wanted. */
char *intl_nextline(INTL_LOCFILE *locfile, INTL_INT *end_of_section);
INTL_INT intl_linenum(const INTL_LOCFILE *locfile);
char *intl_nextsection(INTL_LOCFILE *locfile, INTL_INT *eof);
char *intl_nextentry(INTL_LOCFILE *locfile, INTL_INT *end_of_section);
char *intl_nextvalue(INTL_LOCFILE *locfile, INTL_INT *end_of_list);

/* Open a file (intl_fopen: a stream opened for reading, which the record
 * then owns) and read its syntax and file-format section; 1 or a code. A
 * UTF-8 byte-order mark before the file's first character is passed over.
 * After a failure past the argument checks and the file's opening, the
 * stream stays in the record and intl_close releases it. */
INTL_INT intl_open(const char *filename, INTL_LOCFILE *locfile);
INTL_INT intl_fopen(INTL_IOCS *file, INTL_LOCFILE *locfile);

/* Releases the record's stream; 1, or -152 when closing fails or the record
 * holds no stream (as after an earlier close). */
INTL_INT intl_close(INTL_LOCFILE *locfile);
INTL_INT intl_getversion(const INTL_LOCFILE *locfile);

/* Reads the rest of the current section over the English defaults; 1 or a
 * code. Move to the section with intl_nextsection first: the call reads from
 * where the reader stands to the next heading. A name longer than its field
 * is refused with -10. After a failure dateinfo holds the defaults
 * overwritten by what was read before it. */
INTL_INT intl_datetime(INTL_LOCFILE *locfile, INTL_DATEINFO *dateinfo);

/* ------------------------------------------------------------------------ */
/* Message building                                                          */

/* Value type codes of INTL_ARGVAL.value_type and INTL_FMT.argtype. */
enum intl_value_type {
    INTL_T_SHORT = 1,
    INTL_T_USHORT = 2,
    INTL_T_INT = 3,
    INTL_T_UINT = 4,
    INTL_T_LONG = 5,
    INTL_T_ULONG = 6,
    INTL_T_PTR = 7,
    INTL_T_DOUBLE = 8
};

/* A caller's conversion routine: with out null it returns the length of its
 * text; otherwise it writes the text and a NUL at out and returns 0 or more
 * (a negative result ends the build with that result). It may write no more
 * than the sizing call announced: only that much room is checked. fmt is the
 * installed name; value points at the value union, or is the pointer itself
 * for type 7. */
typedef INTL_INT (*INTL_CONVERT)(const char *fmt, void *value, char *out);

typedef struct intl_fmt {
    INTL_INT argtype;        /* an intl_value_type code: the type of the value */
    INTL_CONVERT conversion; /* renders the value */
    char fmt[21];            /* the name written after "%", at most 20 bytes */
} INTL_FMT;

/* A list of custom conversions, allocated by the caller:
 *
 *     INTL_CVTLIST *list = malloc(intl_fmtsize(n));   room for n entries
 *     list->listcount = 0;                            then intl_fmtinstall
 *
 * listcount is the number of entries installed so far, not the room: the
 * record does not know its capacity, and each intl_fmtinstall writes entry
 * listcount and adds 1, so never install more than the n allocated (nothing
 * can catch it; the heap past the list is overwritten). */
typedef struct intl_cvtlist {
    INTL_INT listcount;  /* entries in use, 0 .. n; set it to 0 before use */
    INTL_FMT fmtlist[1]; /* extended past its end to n entries */
} INTL_CVTLIST;

/* One argument of intl_strblist, filled by the caller. */
typedef struct intl_argval {
    INTL_INT numstars;      /* how many "*" cvtspec has: 0, 1 or 2 */
    INTL_INT stars[2];      /* their values, in the order cvtspec takes them */
    INTL_INT value_type;    /* an intl_value_type code: which member of value */
    char cvtspec[21];       /* one C conversion, e.g. "%-8.2f" (below); unused if custom */
    const INTL_FMT *custom; /* null, or the entry whose routine renders value */
    union {
        uint16_t ushort_val;
        int16_t short_val;
        INTL_UINT uint_val;
        INTL_INT int_val;
        INTL_ULONG ulong_val;
        INTL_LONG long_val;
        void *ptr_val;
        INTL_FLOAT doubleval;
    } value;
} INTL_ARGVAL;

/* Bytes to allocate for a list with room for listsize entries (-26 below 1). */
INTL_INT intl_fmtsize(INTL_INT listsize);
/* Appends an entry at listcount: the caller sees to it that there is room. */
INTL_INT intl_fmtinstall(INTL_CVTLIST *cvtlist, const char *fmt, INTL_INT argtype,
                         INTL_CONVERT conversion);
/* The cvtspec of a standard record (custom null) is one C conversion and
 * nothing else: "%", any flags, a width, a point and precision, "h" or "l",
 * the letter, and as many "*" as numstars ("%-+5d", "%#-8x" and "%hc" are
 * rendered, flags and sizes that C leaves undefined for the letter as the C
 * library renders them; "%lld", "%Lf" and "%d%s" give -19). A count ("%n"
 * with any flags, width, precision and size) stores 0 and renders nothing.
 *
 * Fills the template text (NUL-terminated; intl__strblist: textlen bytes)
 * from the numargs records: placeholder %N! takes arglist[N - 1]. Returns
 * the message's length, or a negative code; after a failure charbuf holds
 * the bytes written before it, without a terminator: not a message. */
INTL_INT intl_strblist(char *charbuf, INTL_INT bufsize, const char *text,
                       const INTL_ARGVAL *arglist, INTL_INT numargs);
INTL_INT intl__strblist(char *charbuf, INTL_INT bufsize, const char *text, INTL_INT textlen,
                        const INTL_ARGVAL *arglist, INTL_INT numargs);

/* intl_strbuild(cvtlist, charbuf, bufsize, text, formats, values...)
 *
 * Builds a message from a template and a formats string into charbuf
 * (bufsize bytes, terminator included); returns its length or a code.
 * Placeholder N of the template ("%1!", "%2!", ... : a percent sign, the
 * argument's number from 1 to 20 and one closing byte; "%%" is a percent
 * sign) is filled with argument N, in whatever order the template uses
 * them. A template without placeholders never reads formats or values.
 *
 * The formats string describes the values that follow it, one specifier
 * per argument, in order; text between specifiers is ignored, so "%s%d"
 * and "%s %d" are the same. Each specifier is "%", then in this order:
 *   - at most one flag: space, "#", "+", "-" or "0";
 *   - a width: digits, or "*" (an int taken from the values first);
 *   - a point "." and a precision: digits, or "*" (another int); at most
 *     two stars per specifier, their values before the specifier's own;
 *   - at most one size: "h" (short) or "l" (long);
 *   - the conversion: "d", "i", "c" take an int; "u", "o", "x", "X" an
 *     unsigned int; "e", "E", "f", "g", "G" a double; "s", "p", "n" a
 *     pointer; "%" takes nothing and fills no placeholder.
 * So "%s%-8.2f%*d" takes a string, a double, then an int width and an int.
 *
 * Any other character starts the name of a custom conversion installed
 * with intl_fmtinstall in cvtlist: "%money" reads the name "money" up to
 * white space or punctuation, takes a value of the type given at install
 * time and renders it with the installed routine. A name has at most 20
 * characters, and cannot begin with a flag, a digit, "*", ".", "h", "l" or
 * a standard conversion character. With a null cvtlist an unknown
 * character is passed over. At most 20 specifiers; every value must be
 * of the type its specifier names, which the builder cannot check.
 *
 * After a failure charbuf holds no message: an error found in the formats
 * string leaves it untouched, one found while filling the template leaves
 * the bytes written so far without a terminator. */
INTL_INT intl_strbuild(const INTL_CVTLIST *cvtlist, ...);
INTL_INT intl_vstrbuild(const INTL_CVTLIST *cvtlist, va_list ap);
INTL_INT intl_cstrbuild(const INTL_CVTLIST *cvtlist, char *charbuf, INTL_INT bufsize,
                        const char *text, INTL_INT textlen, const char *formats,
                        INTL_INT formatslen, va_list ap);

/* ------------------------------------------------------------------------ */
/* Character-set translation                                                 */

/* One mapping: a source sequence of 1 + src_left bytes becomes dest_chars
 * bytes. The first source byte is not stored: it is the index of the list
 * that holds the mapping. */
typedef struct intl_map {
    INTL_INT src_left;             /* source bytes after the first: 0..7 */
    INTL_INT dest_chars;           /* destination bytes: 0..8 (0 drops the source) */
    unsigned char src_pattern[7];  /* source bytes 2 .. 1 + src_left */
    unsigned char dest_pattern[8]; /* the output, without a terminator */
} INTL_MAP;                        /* 24 bytes, the image of a compiled mapping record */

typedef struct intl_xlist {
    INTL_INT listsize; /* mappings in list; 0 or less: none */
    INTL_MAP *list;    /* sorted with intl_mapcompare */
} INTL_XLIST;

/* A translation table: xlist[b] holds the mappings whose source begins with
 * byte b. A byte no mapping covers is copied unchanged. */
typedef struct intl_xlate {
    INTL_XLIST xlist[256];
} INTL_XLATE;

/* Table building. Lists are sorted with intl_mapcompare (longer source
 * sequences first, then ascending unsigned bytes); a list may hold any number
 * of mappings. The intl_map_ operations return 0, -1 for a null mapping or
 * value, -2 for a value too long (the mapping is then left as it was). */
INTL_XLIST *intl_getxlist(INTL_XLATE *xlate, INTL_INT mapno);
INTL_INT intl_getlistsize(const INTL_XLIST *xlist);
void intl_inclistsize(INTL_XLIST *xlist);
INTL_INT intl_map_cpsrc(INTL_MAP *curmap, const char *value);
INTL_INT intl_map_cpdest_mapping(INTL_MAP *curmap, const char *value);
INTL_INT intl_map_cpdest_range(INTL_MAP *curmap, const char *value);
int intl_mapcompare(const void *map1, const void *map2);

/* Size of the buffer that intl_load_xlate needs for the compiled file
 * <home>/charsets/<srv_charset>/<xlt_name>, or a negative code. For a file of
 * F bytes, B = min(2, (F - 4) / 2052) table blocks (a 4-byte code and a
 * 2048-byte header each) fit after its version word (B = 0 when F < 4). With
 * 4-byte pointers the size is F - 8: the buffer is the file's image. With
 * 8-byte pointers each table is 4096 bytes of native list headers, then the
 * table's index (6184 bytes and up to 24 bytes per 24-byte record; see
 * intl_xlate), then its records, and the size is
 *
 *     F - 8 + B * 8232 + 24 * (F / 24)
 *
 * With 4-byte pointers the size is exact for a file of one block and
 * nothing more, 4 bytes more than needed for two. A file of fewer than 8
 * bytes gives 0 or less (-4 for one holding only the version word) and
 * loads no table. -7 when the size does not fit the result.
 *
 * Both names stay inside charsets/ (here and in the loads): a name that is
 * empty, is ".." or has a ".." component between slashes is refused with
 * INTL_E_XLTBADNAME before the file system is looked at; a subdirectory
 * ("sub/name") is fine. A path that names anything but a regular file (a
 * directory, a FIFO, a device) gives INTL_E_XLTNOTFILE. */
INTL_INT intl_xlatesize(const char *srv_charset, const char *xlt_name);

/* Loads the to-server and to-display tables of a compiled file into buf
 * (at least intl_xlatesize() bytes, aligned for pointers); a table the file
 * does not hold comes back null. 1 or a negative code; after a failure the
 * buffer and both pointers are invalid. The tables live in buf: keep it,
 * unchanged, while they are used. The tables shipped with the library are
 * total (see intl_xlate): whatever bytes they are given, they write text of
 * their target charset.
 *
 * The file <home>/charsets/SERVER/CLIENT holds the pair between the server
 * charset SERVER and the client charset CLIENT: charsets/UTF-8/SHIFT_JIS
 * is a UTF-8 server with a Shift_JIS client. *xlt_tosrv translates client
 * text to the server's charset (Shift_JIS to UTF-8), *xlt_todisp server
 * text back to the client's for display (UTF-8 to Shift_JIS).
 *
 * Prefer intl_load_xlate_sized: this call cannot know the buffer's size. A
 * file replaced between intl_xlatesize() and this call (regenerating a
 * table does exactly that) may need more room than was sized, and the load
 * then writes past the buffer. */
INTL_INT intl_load_xlate(void *buf, const char *srv_charset, const char *xlt_name,
                         INTL_XLATE **xlt_tosrv, INTL_XLATE **xlt_todisp);

/* intl_load_xlate told the buffer's size: a file that needs more than
 * bufsize bytes (what intl_xlatesize() reports for the file as it is when
 * opened) is refused with INTL_E_XLTBUFSMALL before anything is written,
 * and the load reads no more of the file than it measured then, so a file
 * that changes meanwhile never makes it write past bufsize. The caller
 * sizes again and retries. -28 for a negative bufsize, checked after buf. */
INTL_INT intl_load_xlate_sized(void *buf, INTL_INT bufsize, const char *srv_charset,
                               const char *xlt_name, INTL_XLATE **xlt_tosrv,
                               INTL_XLATE **xlt_todisp);

/* Translates src by xlt (a plain copy when xlt is null); returns the bytes
 * produced, with *srcbytes_used the source bytes consumed and *status 0
 * (done), 1 (dest full: no mapping's output is split) or 2 (srcend 0 and the
 * source ends inside a possible sequence).
 *
 * srcend: nonzero when src holds the last piece of the text, 0 when more
 * follows. With 0 a tail that may begin a longer sequence is left unread
 * (status 2): keep bytes srcbytes_used.. and put them before the next piece;
 * the last piece, with srcend nonzero, translates everything.
 *
 * dest may be null to count the output. Output is never split: when the
 * room left is less than the next mapping's output (up to 8 bytes) the call
 * stops there with status 1, so a call given fewer than 8 bytes may produce
 * nothing and never get further; give each call at least 8. With a table,
 * destlen -1 means no limit and a NUL after the output (room for it is the
 * caller's); the count of output bytes never passes INT32_MAX (status 1
 * there). With a limit of 0 or more, the bytes of dest after the output
 * and within the limit may be overwritten. Mappings with src_left outside
 * 0..7 or dest_chars outside 0..8 are never used. Lists must be sorted with
 * intl_mapcompare: the search relies on it. On an unsorted list the mapping
 * chosen is unspecified, but the call still ends and stays within the
 * table, the source and the destination limit.
 *
 * A byte that no mapping matches is copied unchanged: that is the engine's
 * rule for any table. Every table that `intl mktable` writes, and so every
 * shipped one, leaves nothing to it: it maps every byte sequence, and what
 * it cannot translate (a character the target charset does not hold, an
 * unassigned code, a byte that begins no character) becomes its
 * substitution: U+FFFD into UTF-8 (and GB18030), the control SUB (0x1A)
 * into other charsets, which running text does not hold; `intl mktable
 * --substitute U+XXXX` chooses another. One character becomes one
 * substitution; a sequence that breaks off becomes one for its first byte,
 * and translation resumes at the next. From UTF-8, a character beyond U+FFFF
 * that the table does not translate is one substitution in two halves (a
 * mapping each would take 25 MB per table, and a table has no wildcard): its
 * lead byte and second byte map to nothing, any two continuation bytes to the
 * substitution. So a run of n stray continuation bytes becomes (n + 1) / 2
 * substitutions, and a four-byte sequence that breaks off after its second
 * byte (at the end of the last piece too) becomes nothing: the one invalid
 * input that leaves no mark. Pieces cut anywhere give the same output as one
 * call. From GB18030 such a code, and a four-byte one that is no character,
 * becomes two substitutions, one per half: its halves have one shape (a
 * byte 0x81-0xFE and a digit) that no mapping can tell apart, so neither
 * may map to nothing. A lead byte and digit that no other half follows are
 * one substitution: from GB18030 no input is left without a mark. But a
 * second half followed by a four-byte code may make a code with a mapping
 * together with that code's first half: its character comes out, and the
 * text is read two bytes late up to a character of one or two bytes.
 *
 * With 8-byte pointers a table loaded by intl_load_xlate carries an index
 * built from its lists as they were loaded. Do not change a loaded table in
 * place (a list's listsize or list, a record's fields) and translate with
 * it: the output may follow the table as loaded for some first bytes and
 * as changed for others. Nothing outside the buffer, the caller's own
 * lists, the source and the destination limit is read or written even
 * then. To translate with a changed table, copy the INTL_XLATE out of the
 * buffer and change the copy: a table is taken for a loaded one only where
 * the records of its last non-empty list start right after the loader's
 * index, which follows the table's INTL_XLATE in the buffer and names it,
 * so a copy, like any table built by hand, is searched. */
INTL_INT intl_xlate(const unsigned char *src, INTL_INT srclen, unsigned char *dest,
                    INTL_INT destlen, const INTL_XLATE *xlt, INTL_INT *srcbytes_used,
                    INTL_INT srcend, INTL_INT *status);
INTL_INT intl_memcmp(const unsigned char *p1, const unsigned char *p2, INTL_INT len);
INTL_INT intl_memhilo(const unsigned char *p1, INTL_INT len1, const unsigned char *p2,
                      INTL_INT len2);
INTL_INT intl_strcmp(const unsigned char *p1, const unsigned char *p2);

/* Prints every mapping of a table to standard output. */
void intl__print_xlate(const INTL_XLATE *xlt);

#ifdef __cplusplus
}
#endif

#endif /* INTL_H */
