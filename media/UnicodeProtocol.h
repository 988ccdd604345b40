// File names for the media libraries.
//
// The libraries take file names as 8-bit text. A name whose bytes in the ANSI
// code page differ from its UTF-8 bytes (the form the file system uses) is
// handed over as an address of the "unicode" protocol, "unicode:utf8:" + the
// UTF-8 name, and opened by our own byte I/O. The libraries of this
// generation take no protocol registrations, so files of that protocol are
// opened through the wrappers below, which fall back to the libraries' own
// calls for every other name.
#pragma once

#include "media/FFLoad.h"

#include <string>

// Name (UTF-8) -> the 8-bit name to give the libraries.
std::string NameForLibraries(const std::string& Name);
// A name coming back from the libraries -> UTF-8.
std::string NameFromLibraries(const std::string& Name);
// True when the name is an address of the "unicode" protocol.
bool IsUnicodeProtocolName(const std::string& Name);

// Makes the protocol available (the loader calls it once the format library
// is loaded); calling it again changes nothing.
void RegisterUnicodeProtocol();
bool UnicodeProtocolRegistered();

// avio_open2 / avio_closep for names of either kind. A context opened here
// must be closed with UnicodeAvioClose.
int UnicodeAvioOpen(AVIOContext** Pb, const char* Url, int Flags,
                    const AVIOInterruptCB* InterruptCB, AVDictionary** Options);
int UnicodeAvioClose(AVIOContext** Pb);

// avformat_open_input / avformat_close_input for names of either kind. An
// input opened here must be closed with UnicodeCloseInput.
int UnicodeOpenInput(AVFormatContext** Ps, const char* Url, const AVInputFormat* Fmt,
                     AVDictionary** Options);
void UnicodeCloseInput(AVFormatContext** Ps);
