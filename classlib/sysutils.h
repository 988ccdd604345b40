// Exceptions, string and number conversions, formatting, file and path
// routines and date-time numbers of the class library.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// ---------------------------------------------------------------------------
// Exceptions

class Exception : public std::exception {
public:
    explicit Exception(std::string message = {}) : Message(std::move(message)) {}
    ~Exception() override = default;
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

#define LANTROVE_EXCEPTION(Name, Base)                                                             \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
    }

LANTROVE_EXCEPTION(EAbort, Exception);
LANTROVE_EXCEPTION(EConvertError, Exception);
LANTROVE_EXCEPTION(EOutOfMemory, Exception);
LANTROVE_EXCEPTION(EInOutError, Exception);
LANTROVE_EXCEPTION(EArgumentException, Exception);
LANTROVE_EXCEPTION(EInvalidOperation, Exception);
LANTROVE_EXCEPTION(EInvalidCast, Exception);
LANTROVE_EXCEPTION(ENotSupportedException, Exception);
LANTROVE_EXCEPTION(EListError, Exception);
LANTROVE_EXCEPTION(EStringListError, EListError);
LANTROVE_EXCEPTION(EComponentError, Exception);
LANTROVE_EXCEPTION(EStreamError, Exception);
LANTROVE_EXCEPTION(EFileStreamError, EStreamError);
LANTROVE_EXCEPTION(EFOpenError, EFileStreamError);
LANTROVE_EXCEPTION(EFCreateError, EFileStreamError);
LANTROVE_EXCEPTION(EFilerError, EStreamError);
LANTROVE_EXCEPTION(EReadError, EFilerError);
LANTROVE_EXCEPTION(EWriteError, EFilerError);
LANTROVE_EXCEPTION(EIniFileException, Exception);

// An operating-system failure with its error number.
class EOSError : public Exception {
public:
    explicit EOSError(std::string message = {}, int errorCode = 0)
        : Exception(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

// Raises EAbort, the silent exception.
[[noreturn]] void Abort();

// ---------------------------------------------------------------------------
// Numbers and text

// Integers in decimal, or hexadecimal after "$", "0x" or "0X"; an optional
// sign; blanks around the number are allowed. Values outside the type's range
// do not parse.
bool TryStrToInt(std::string_view s, int32_t& value);
bool TryStrToInt64(std::string_view s, int64_t& value);
int32_t StrToIntDef(std::string_view s, int32_t defaultValue);
int64_t StrToInt64Def(std::string_view s, int64_t defaultValue);
int32_t StrToInt(std::string_view s);   // EConvertError when it does not parse
int64_t StrToInt64(std::string_view s); // EConvertError when it does not parse

std::string IntToStr(int64_t value);
// Upper-case hexadecimal with at least `digits` digits (negative values as
// their 64-bit two's complement).
std::string IntToHex(int64_t value, int digits);

// The decimal separator of float conversions ('.' unless set).
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Shortest text that reads back as the same value; exponent form for very
// large or very small values ("1E20", "1.5E-7").
std::string FloatToStr(double value);
bool TryStrToFloat(std::string_view s, double& value);
double StrToFloatDef(std::string_view s, double defaultValue);
double StrToFloat(std::string_view s); // EConvertError when it does not parse
// Fixed-point text with `decimals` digits after the separator.
std::string FloatToStrF(double value, int decimals);

// One argument of Format.
class TFormatArg {
public:
    enum class Kind { Int, UInt, Float, String, Pointer };

    template <class T>
    requires(std::is_integral_v<T>&& std::is_signed_v<T> && !std::is_same_v<T, char>)
        TFormatArg(T v)
        : kind_(Kind::Int), i_(v) {}
    template <class T>
    requires(std::is_integral_v<T>&& std::is_unsigned_v<T> && !std::is_same_v<T, bool>)
        TFormatArg(T v)
        : kind_(Kind::UInt), u_(v) {}
    template <class T>
    requires std::is_enum_v<T> TFormatArg(T v) : kind_(Kind::Int), i_(int64_t(v)) {}
    TFormatArg(bool v) : kind_(Kind::Int), i_(v ? 1 : 0) {}
    TFormatArg(char c) : kind_(Kind::String), s_(1, c) {}
    TFormatArg(double v) : kind_(Kind::Float), f_(v) {}
    TFormatArg(float v) : kind_(Kind::Float), f_(v) {}
    TFormatArg(long double v) : kind_(Kind::Float), f_(double(v)) {}
    TFormatArg(const std::string& s) : kind_(Kind::String), s_(s) {}
    TFormatArg(std::string_view s) : kind_(Kind::String), s_(s) {}
    TFormatArg(const char* s) : kind_(Kind::String), s_(s ? s : "") {}
    TFormatArg(const void* p) : kind_(Kind::Pointer), p_(p) {}

    Kind kind() const { return kind_; }
    int64_t asInt() const { return i_; }
    uint64_t asUInt() const { return u_; }
    double asFloat() const { return f_; }
    const std::string& asString() const { return s_; }
    const void* asPointer() const { return p_; }

private:
    Kind kind_;
    int64_t i_ = 0;
    uint64_t u_ = 0;
    double f_ = 0;
    std::string s_;
    const void* p_ = nullptr;
};

// Formats with printf-like specifiers: %[index:][-][0][width][.precision]type
// with type d i u x X o e E f g G n m s c p, length modifiers (l, ll, h, z)
// ignored, "%%" for a percent sign and "*" taking width or precision from the
// arguments. A missing argument or a string given for a number (or the other
// way round) raises EConvertError; numbers convert among themselves.
std::string FormatV(std::string_view format, const std::vector<TFormatArg>& args);
template <class... Args> std::string Format(std::string_view format, const Args&... args) {
    return FormatV(format, std::vector<TFormatArg>{TFormatArg(args)...});
}

// Blanks and control characters (code <= 32) are trimmed.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// ASCII letters only.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Letters of every script the case tables cover (UTF-8 text).
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);

// <0, 0, >0. CompareText ignores the case of ASCII letters; the Ansi forms
// compare whole UTF-8 text without regard to case.
int CompareStr(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
using TReplaceFlags = unsigned;
std::string StringReplace(std::string_view s, std::string_view oldPattern,
                          std::string_view newPattern, TReplaceFlags flags);

// 1-based position of sub in s, 0 when absent (PosEx starts at offset).
size_t Pos(std::string_view sub, std::string_view s);
size_t PosEx(std::string_view sub, std::string_view s, size_t offset = 1);
// Count characters from the 1-based index; out-of-range parts are dropped.
std::string Copy(std::string_view s, size_t index, size_t count = std::string::npos);
bool StartsText(std::string_view prefix, std::string_view s);
bool EndsText(std::string_view suffix, std::string_view s);
bool StartsStr(std::string_view prefix, std::string_view s);
bool EndsStr(std::string_view suffix, std::string_view s);

// 'text' with inner quotes doubled.
std::string QuotedStr(std::string_view s);
std::string AnsiQuotedStr(std::string_view s, char quote);
// Removes one level of quoting; text not starting with the quote comes back
// unchanged. AnsiExtractQuotedStr reads a quoted part from the start of s,
// moves `pos` (0-based) behind it and returns it.
std::string AnsiDequotedStr(std::string_view s, char quote);
std::string AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote);

// ---------------------------------------------------------------------------
// Files and paths

constexpr char PathDelim = '/';
constexpr char PathSep = ':';

bool FileExists(const std::string& fileName);      // a file (not a folder)
bool DirectoryExists(const std::string& dirName);  // a folder
bool ForceDirectories(const std::string& dirName); // with missing parents
bool CreateDir(const std::string& dirName);
bool RemoveDir(const std::string& dirName); // empty folders only
bool DeleteFile(const std::string& fileName);
bool RenameFile(const std::string& oldName, const std::string& newName);
int64_t FileSize(const std::string& fileName); // -1 when absent

std::string ExtractFilePath(std::string_view fileName); // with the trailing "/"
std::string ExtractFileDir(std::string_view fileName);  // without it
std::string ExtractFileName(std::string_view fileName);
std::string ExtractFileExt(std::string_view fileName); // with the dot
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);
std::string IncludeTrailingPathDelimiter(std::string_view s);
std::string ExcludeTrailingPathDelimiter(std::string_view s);
// Absolute, with "." and ".." folded; relative names start at the current folder.
std::string ExpandFileName(std::string_view fileName);
std::string GetCurrentDir();

// ---------------------------------------------------------------------------
// Date and time: days since 1899-12-30 00:00, the fraction the time of day.

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
constexpr double SecsPerDay = 86400.0;
constexpr int64_t UnixDateDelta = 25569; // 1970-01-01 as a date-time number

// Local time of the layer's clock.
TDateTime Now();
TDateTime Date();
TDateTime Time();

bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);         // EConvertError
TDateTime EncodeTime(int hour, int min, int sec, int msec); // EConvertError
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
int DayOfWeek(TDateTime dt); // 1 = Sunday
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Whole days between two date-times (never negative).
int64_t DaysBetween(TDateTime a, TDateTime b);
TDateTime IncDay(TDateTime dt, int days);

// UTC seconds, no time-zone shift.
int64_t DateTimeToUnix(TDateTime dt);
TDateTime UnixToDateTime(int64_t unixSeconds);

// Patterns: yyyy yy m mm mmm mmmm d dd ddd dddd h hh n nn s ss z zzz am/pm
// ampm, "c" (short date and long time), quoted literals ('..' or ".."), "/"
// and ":" as themselves; "m" right after an hour means minutes.
std::string FormatDateTime(std::string_view format, TDateTime dt);
// "yyyy-mm-dd hh:nn:ss" style default text.
std::string DateTimeToStr(TDateTime dt);
std::string DateToStr(TDateTime dt);

// Modification time of a file as local date-time; false when unreadable.
bool FileAge(const std::string& fileName, TDateTime& fileDateTime);
bool FileSetDate(const std::string& fileName, TDateTime localDateTime);

// ---------------------------------------------------------------------------
// Directory listing

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02; // names beginning with "."
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20; // every plain file
constexpr int faSymLink = 0x40;
constexpr int faAnyFile = 0x7F;

struct TSearchRec {
    std::string Name; // the name alone, without the folder
    int64_t Size = 0;
    int Attr = 0;
    TDateTime Time = 0; // modification time, local
    // The matches still to hand out.
    std::vector<TSearchRec> pending;
};

// Lists the folder part of `path` for names matching its last part ("*" and
// "?" wildcards, without regard to case; "." and ".." never match). Entries
// whose attributes include any not in `attr` among faHidden, faSysFile,
// faDirectory are skipped, as the classic listing does. 0 on a match.
int FindFirst(const std::string& path, int attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// "*" and "?" match without regard to case.
bool MatchesMask(std::string_view name, std::string_view mask);

// The class library's pseudo-random generator: 0..Range - 1 (0 when Range is
// not positive). One generator per process, seeded by RandSeed.
int Random(int Range);
void SetRandSeed(uint32_t Seed);
void Randomize();
