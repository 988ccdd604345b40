#include "media/FFUtils.h"

#include "media/FFLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

std::string FormatTimeText(int64_t Time) {
    if (Time == AV_NOPTS_VALUE) return "N/A";
    int64_t Seconds = Time / 1000000;
    return Format("%.2d:%.2d:%.2d.%.3d", Seconds / 3600, (Seconds / 60) % 60, Seconds % 60,
                  (Time % 1000000) * 1000 / 1000000);
}

int64_t FrameDuration(AVRational FrameRate) {
    if (FrameRate.num != 0 && FrameRate.den != 0)
        return int64_t(1000000) * FrameRate.den / FrameRate.num;
    return 1000000 / 25;
}

namespace {

struct TErrorText {
    int Code;
    const char* Text;
};

// Codes of the libraries, of Windows Sockets and of the system.
const TErrorText ErrorTexts[] = {
    {-0x58554DF8, "Muxer not found"},
    {-0x525453F8, "Stream not found"},
    {-0x4F5250F8, "Protocol not found"},
    {-0x4D4544F8, "Demuxer not found"},
    {-0x4C4946F8, "Filter not found"},
    {-0x465342F8, "Bitstream filter not found"},
    {-0x45574150, "Not yet implemented in FFmpeg"},
    {-0x434E45F8, "Encoder not found"},
    {-0x434544F8, "Decoder not found"},
    // The libraries of this generation report these two where the older ones
    // gave the system codes -22 and -32.
    {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
    {AVERROR_EOF, "End of file"},
    {-11004, "WSANO_DATA"},
    {-11003, "WSANO_RECOVERY"},
    {-11002, "WSATRY_AGAIN"},
    {-11001, "WSAHOST_NOT_FOUND"},
    {-10112, "WSAEREFUSED"},
    {-10111, "WSA_E_CANCELLED"},
    {-10110, "WSA_E_NO_MORE"},
    {-10109, "WSATYPE_NOT_FOUND"},
    {-10108, "WSASERVICE_NOT_FOUND"},
    {-10107, "WSASYSCALLFAILURE"},
    {-10106, "WSAEPROVIDERFAILEDINIT"},
    {-10105, "WSAEINVALIDPROVIDER"},
    {-10104, "WSAEINVALIDPROCTABLE"},
    {-10103, "WSAECANCELLED"},
    {-10102, "WSAENOMORE"},
    {-10101, "WSAEDISCON"},
    {-10093, "WSANOTINITIALISED"},
    {-10092, "WSAVERNOTSUPPORTED"},
    {-10091, "WSASYSNOTREADY"},
    {-10067, "WSAEPROCLIM"},
    {-10035, "WSAEWOULDBLOCK"},
};

// A Windows Sockets code and the matching negative error number share a text.
struct TSharedErrorText {
    int SocketCode;
    int Code;
    const char* Text;
};

const TSharedErrorText SystemErrorTexts[] = {
    {-10071, -66, "Object is remote"},
    {-10070, -116, "Stale NFS file handle"},
    {-10069, -122, "Quota exceeded"},
    {-10068, -87, "Too many users"},
    {-10066, -39, "Directory not empty"},
    {-10065, -113, "No route to host"},
    {-10064, -112, "Host is down"},
    {-10063, -36, "File name too long"},
    {-10062, -40, "Too many symbolic links encountered"},
    {-10061, -111, "Connection refused"},
    {-10060, -110, "Connection timed out"},
    {-10059, -109, "Too many references: cannot splice"},
    {-10058, -108, "Cannot send after transport endpoint shutdown"},
    {-10057, -107, "Transport endpoint is not connected"},
    {-10056, -106, "Transport endpoint is already connected"},
    {-10055, -105, "No buffer space available"},
    {-10054, -104, "Connection reset by peer"},
    {-10053, -103, "Software caused connection abort"},
    {-10052, -102, "Network dropped connection because of reset"},
    {-10051, -101, "Network is unreachable"},
    {-10050, -100, "Network is down"},
    {-10049, -99, "Cannot assign requested address"},
    {-10048, -98, "Address already in use"},
    {-10047, -97, "Address family not supported by protocol"},
    {-10046, -96, "Protocol family not supported"},
    {-10045, -95, "Operation not supported on transport endpoint"},
    {-10044, -94, "Socket type not supported"},
    {-10043, -93, "Protocol not supported"},
    {-10042, -92, "Protocol not available"},
    {-10041, -91, "Protocol wrong type for socket"},
    {-10040, -90, "Message too long"},
    {-10039, -89, "Destination address required"},
    {-10038, -88, "Socket operation on non-socket"},
    {-10037, -114, "Operation already in progress"},
    {-10036, -115, "Operation now in progress"},
    {-10024, -24, "Too many open files"},
    {-10022, -22, "Invalid argument / Invalid data found when processing input"},
    {-10014, -14, "Bad address"},
    {-10013, -13, "Permission denied"},
    {-10009, -9, "Bad file number"},
    {-10004, -4, "Interrupted function call"},
    {0, -131, "State not recoverable"},
    {0, -130, "Owner died"},
    {0, -129, "Key was rejected by service"},
    {0, -128, "Key has been revoked"},
    {0, -127, "Key has expired"},
    {0, -126, "Required key not available"},
    {0, -125, "Operation Canceled"},
    {0, -124, "Wrong medium type"},
    {0, -123, "No medium found"},
    {0, -121, "Remote I/O error"},
    {0, -120, "Is a named type file"},
    {0, -119, "No XENIX semaphores available"},
    {0, -118, "Not a XENIX named type file"},
    {0, -117, "Structure needs cleaning"},
    {0, -86, "Streams pipe error"},
    {0, -85, "Interrupted system call should be restarted"},
    {0, -84, "Illegal byte sequence"},
    {0, -83, "Cannot exec a shared library directly"},
    {0, -82, "Attempting to link in too many shared libraries"},
    {0, -81, ".lib section in a.out corrupted"},
    {0, -80, "Accessing a corrupted shared library"},
    {0, -79, "Can not access a needed shared library"},
    {0, -78, "Remote address changed"},
    {0, -77, "File descriptor in bad state"},
    {0, -76, "Name not unique on network"},
    {0, -75, "Value too large for defined data type"},
    {0, -74, "Not a data message"},
    {0, -73, "RFS specific error"},
    {0, -72, "Multihop attempted"},
    {0, -71, "Protocol error"},
    {0, -70, "Communication error on send"},
    {0, -69, "Srmount error"},
    {0, -68, "Advertise error"},
    {0, -67, "Link has been severed"},
    {0, -65, "Package not installed"},
    {0, -64, "Machine is not on the network"},
    {0, -63, "Out of streams resources"},
    {0, -62, "Timer expired"},
    {0, -61, "No data available"},
    {0, -60, "Device not a stream"},
    {0, -59, "Bad font file format"},
    {0, -57, "Invalid slot"},
    {0, -56, "Invalid request code"},
    {0, -55, "No anode"},
    {0, -54, "Exchange full"},
    {0, -53, "Invalid request descriptor"},
    {0, -52, "Invalid exchange"},
    {0, -51, "Level 2 halted"},
    {0, -50, "No CSI structure available"},
    {0, -49, "Protocol driver not attached"},
    {0, -48, "Link number out of range"},
    {0, -47, "Level 3 reset"},
    {0, -46, "Level 3 halted"},
    {0, -45, "Level 2 not synchronized"},
    {0, -44, "Channel number out of range"},
    {0, -43, "Identifier removed"},
    {0, -42, "Unknown format"},
    {0, -38, "Function not implemented"},
    {0, -37, "No record locks available"},
    {0, -35, "Resource deadlock would occur"},
    {0, -34, "Math result not representable"},
    {0, -33, "Number syntax expected in filename"},
    {0, -32, "End of file"},
    {0, -31, "Too many links"},
    {0, -30, "Read-only file system"},
    {0, -29, "Illegal seek"},
    {0, -28, "No space left on device"},
    {0, -27, "File too large"},
    {0, -26, "Text file busy"},
    {0, -25, "Inappropriate I/O control operation / Not a typewriter"},
    {0, -23, "Too many open files in system / File table overflow"},
    {0, -21, "Is a directory"},
    {0, -20, "Not a directory"},
    {0, -19, "No such device"},
    {0, -18, "Cross-device link"},
    {0, -17, "File exists"},
    {0, -16, "Device or resource busy"},
    {0, -15, "Block device required"},
    {0, -12, "Not enough space / Out of memory"},
    {0, -11, "Resource temporarily unavailable / Try again"},
    {0, -10, "No child processes"},
    {0, -8, "Exec format error"},
    {0, -7, "Argument list too long"},
    {0, -6, "No such device or address"},
    {0, -5, "I/O error"},
    {0, -3, "No such process"},
    {0, -2, "No such file or directory"},
    {0, -1, "Operation not permitted"},
};

} // namespace

std::string FormatAVError(const std::string& FileName, int Code) {
    for (const TErrorText& E : ErrorTexts)
        if (E.Code == Code) return FileName + ": " + E.Text;
    for (const TSharedErrorText& E : SystemErrorTexts)
        if (E.Code == Code || (E.SocketCode != 0 && E.SocketCode == Code))
            return FileName + ": " + E.Text;
    return FileName + ": " + Format("Error number %d occurred", Code);
}

// ---------------------------------------------------------------------------
// Generic option store

namespace {

std::mutex LastErrorLock;
std::string LastError;

void SetLastError(const std::string& Text) {
    {
        std::lock_guard<std::mutex> Guard(LastErrorLock);
        LastError = Text;
    }
    if (FF().av_log) FF().av_log(nullptr, AV_LOG_ERROR, "%s\n", Text.c_str());
}

// The option flags that pick each media type's template context.
const int TypeFlags[AVMEDIA_TYPE_NB] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                        AV_OPT_FLAG_SUBTITLE_PARAM, 0};

// Sets Name on Obj when Obj knows it; Found tells whether it did.
int SetOn(void* Obj, const char* Name, const std::string& Value, const AVOption*& Found) {
    Found = Obj ? FF().av_opt_find(Obj, Name, nullptr, 0, 0) : nullptr;
    if (!Found) return 0;
    return FF().av_opt_set(Obj, Name, Value.c_str(), 0);
}

// Whether some codec's or output format's private options know Name.
bool KnownToPrivateClass(const std::string& Name) {
    void* It = nullptr;
    while (const AVCodec* C = FF().av_codec_iterate(&It)) {
        if (!C->priv_class) continue;
        const AVClass* Class = C->priv_class;
        if (FF().av_opt_find(&Class, Name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) return true;
    }
    It = nullptr;
    while (const AVOutputFormat* F = FF().av_muxer_iterate(&It)) {
        if (!F->priv_class) continue;
        const AVClass* Class = F->priv_class;
        if (FF().av_opt_find(&Class, Name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) return true;
    }
    return false;
}

void ApplyOptions(TFFOptions& Options, void* Target, void* Source, void* PrivateTarget, int Flags) {
    if (!Target || !Source) return;
    for (int I = 0; I < Options.opt_name_count; ++I) {
        const char* Name = Options.opt_names[size_t(I)].c_str();
        const AVOption* Opt = FF().av_opt_find(Source, Name, nullptr, 0, 0);
        if (Opt) {
            if ((Opt->flags & Flags) != Flags) continue;
            uint8_t* Text = nullptr;
            if (FF().av_opt_get(Source, Name, 0, &Text) >= 0 && Text)
                FF().av_opt_set(Target, Name, reinterpret_cast<char*>(Text), 0);
            FF().av_free(Text);
        } else if (PrivateTarget && FF().av_opt_find(PrivateTarget, Name, nullptr, Flags, Flags)) {
            FF().av_opt_set(PrivateTarget, Name, Options.opt_values[size_t(I)].c_str(), 0);
        }
    }
}

} // namespace

std::string GenericOptionLastError() {
    std::lock_guard<std::mutex> Guard(LastErrorLock);
    return LastError;
}

void TFFOptions::Init(int SwsFlags) {
    Free();
    for (int T = 0; T < AVMEDIA_TYPE_NB; ++T) {
        avcodec_opts[T] = FF().avcodec_alloc_context3(nullptr);
        if (avcodec_opts[T]) avcodec_opts[T]->codec_type = AVMediaType(T);
    }
    avformat_opts = FF().avformat_alloc_context();
    sws_opts = FF().sws_getContext(16, 16, AVPixelFormat(0), 16, 16, AVPixelFormat(0), SwsFlags,
                                   nullptr, nullptr, nullptr);
}

void TFFOptions::Free() {
    for (AVCodecContext*& C : avcodec_opts)
        if (C) FF().avcodec_free_context(&C);
    if (avformat_opts) {
        FF().avformat_free_context(avformat_opts);
        avformat_opts = nullptr;
    }
    if (sws_opts) {
        FF().sws_freeContext(sws_opts);
        sws_opts = nullptr;
    }
    opt_names.clear();
    opt_values.clear();
    opt_name_count = 0;
}

bool TFFOptions::SetGenericOption(const std::string& Name, const std::string& Value) {
    if (Trim(Name).empty()) return false;
    const char* N = Name.c_str();
    const AVOption* Found = nullptr;
    int Result = 0;
    for (int T = 0; T < AVMEDIA_TYPE_NB && Result >= 0; ++T) {
        if (!avcodec_opts[T] || !avcodec_opts[0]) continue;
        if (FF().av_opt_find(avcodec_opts[0], N, nullptr, TypeFlags[T], 0)) {
            const AVOption* O = nullptr;
            Result = SetOn(avcodec_opts[T], N, Value, O);
            if (O) Found = O;
        }
    }
    if (!Found) Result = SetOn(avformat_opts, N, Value, Found);
    if (!Found) Result = SetOn(sws_opts, N, Value, Found);
    if (!Found && Name.size() > 1) {
        AVCodecContext* Ctx = nullptr;
        if (Name[0] == 'a')
            Ctx = avcodec_opts[AVMEDIA_TYPE_AUDIO];
        else if (Name[0] == 'v')
            Ctx = avcodec_opts[AVMEDIA_TYPE_VIDEO];
        else if (Name[0] == 's')
            Ctx = avcodec_opts[AVMEDIA_TYPE_SUBTITLE];
        if (Ctx) Result = SetOn(Ctx, N + 1, Value, Found);
    }
    if (Found && Result < 0) {
        SetLastError(Format("Invalid value \"%s\" for option \"%s\"", Value, Name));
        return false;
    }
    if (Found) {
        opt_names.push_back(Found->name);
        opt_values.push_back(std::string());
    } else {
        if (!KnownToPrivateClass(Name)) {
            SetLastError(Format("Unrecognized option \"%s\"", Name));
            return false;
        }
        opt_names.push_back(Name);
        opt_values.push_back(Value);
    }
    ++opt_name_count;
    if ((avcodec_opts[AVMEDIA_TYPE_VIDEO] && avcodec_opts[AVMEDIA_TYPE_VIDEO]->debug) ||
        (avformat_opts && avformat_opts->debug))
        FFLogger()->SetLogLevel(llDebug);
    return true;
}

void TFFOptions::ApplyToFormat(AVFormatContext* Target, int Flags) {
    void* Private = nullptr;
    if (Target && Target->oformat && Target->oformat->priv_class && Target->priv_data)
        Private = Target->priv_data;
    ApplyOptions(*this, Target, avformat_opts, Private, Flags);
}

void TFFOptions::ApplyToCodec(AVCodecContext* Target, AVMediaType Type, const AVCodec* Codec,
                              int Flags) {
    if (Type < 0 || Type >= AVMEDIA_TYPE_NB) return;
    void* Private = nullptr;
    if (Target && Codec && Codec->priv_class && Target->priv_data) Private = Target->priv_data;
    ApplyOptions(*this, Target, avcodec_opts[Type], Private, Flags);
}

// ---------------------------------------------------------------------------

int64_t ReadWholeFile(const std::string& FileName, std::string& Buffer) {
    std::FILE* F = std::fopen(FileName.c_str(), "rb");
    if (!F) return -1;
    std::fseek(F, 0, SEEK_END);
    long Size = std::ftell(F);
    std::fseek(F, 0, SEEK_SET);
    if (Size < 0) Size = 0;
    try {
        Buffer.assign(size_t(Size) + 1, '\0');
    } catch (const std::bad_alloc&) {
        std::fclose(F);
        return -12;
    }
    size_t Read = std::fread(Buffer.data(), 1, size_t(Size), F);
    std::fclose(F);
    Buffer.resize(Read + 1);
    return int64_t(Read) + 1;
}

void InitTimeStampState(TTimeStampState& State) {
    State = TTimeStampState();
}

int64_t CorrectTimeStamp(TTimeStampState& State, int64_t ReorderedPts, int64_t Dts) {
    if (Dts != AV_NOPTS_VALUE) {
        if (Dts <= State.last_dts) ++State.num_faulty_dts;
        State.last_dts = Dts;
    }
    if (ReorderedPts != AV_NOPTS_VALUE) {
        if (ReorderedPts <= State.last_pts) ++State.num_faulty_pts;
        State.last_pts = ReorderedPts;
    }
    if (State.num_faulty_pts <= State.num_faulty_dts && ReorderedPts != AV_NOPTS_VALUE)
        return ReorderedPts;
    return Dts != AV_NOPTS_VALUE ? Dts : ReorderedPts;
}

std::string MetadataValue(const AVDictionary* Metadata, const std::string& Key,
                          const std::string& Default) {
    if (!Metadata || !FF().av_dict_get) return Default;
    const AVDictionaryEntry* E = FF().av_dict_get(Metadata, Key.c_str(), nullptr, 0);
    return E && E->value ? std::string(E->value) : Default;
}

std::string CodecNameText(const AVCodecContext* Context, bool Encoder) {
    if (!Context) return {};
    const AVCodec* Codec = Encoder ? FF().avcodec_find_encoder(Context->codec_id)
                                   : FF().avcodec_find_decoder(Context->codec_id);
    if (Codec) {
        std::string Name = Codec->name ? Codec->name : "";
        std::string Long = Codec->long_name ? Trim(Codec->long_name) : "";
        return Long.empty() ? Name : Format("%s(%s)", Name, Codec->long_name);
    }
    if (Context->codec_id == AV_CODEC_ID_MPEG2TS) return "mpeg2ts";
    if (Context->codec && Context->codec->name && *Context->codec->name)
        return Context->codec->name;
    unsigned Tag = Context->codec_tag;
    char C[4] = {char(Tag & 0xFF), char((Tag >> 8) & 0xFF), char((Tag >> 16) & 0xFF),
                 char((Tag >> 24) & 0xFF)};
    bool Printable = true;
    for (char Ch : C)
        if (uint8_t(Ch) < 32 || uint8_t(Ch) > 126) Printable = false;
    if (Printable) return Format("%s%s%s%s / 0x%04X", C[0], C[1], C[2], C[3], Tag);
    return Format("0x%04x", Tag);
}

std::string MediaTypeName(int Type) {
    switch (Type) {
    case 0:
        return "Video";
    case 1:
        return "Audio";
    case 2:
        return "Data";
    case 3:
        return "Subtitle";
    case 4:
        return "Attachment";
    default:
        return "Unknown";
    }
}

// ---------------------------------------------------------------------------
// Buffers of the libraries

int AlignedPictureSize(AVPixelFormat Format, int Width, int Height) {
    return FF().av_image_get_buffer_size(Format, Width, Height, PictureAlign);
}

TLibraryBuffer::~TLibraryBuffer() {
    if (FData) FF().av_free(FData);
}

bool TLibraryBuffer::Reserve(size_t Size, size_t Keep) {
    if (FData && Size <= FCapacity) return true;
    auto* Data = static_cast<uint8_t*>(FF().av_malloc(Size + LibraryBufferPadding));
    if (!Data) return false;
    if (FData) {
        std::memcpy(Data, FData, std::min(Keep, FCapacity));
        FF().av_free(FData);
    }
    std::memset(Data + Size, 0, LibraryBufferPadding);
    FData = Data;
    FCapacity = Size;
    return true;
}

// ---------------------------------------------------------------------------
// Format converter

namespace {

struct TBMPFormat {
    int BitsPixel;
    AVPixelFormat AVFormat;
    TPixelFormat BitmapFormat;
};

// 16-bit bitmaps keep red in the high bits.
const TBMPFormat BMPFormats[] = {
    {8, AV_PIX_FMT_BGR8, pf8bit},       {16, AV_PIX_FMT_RGB555LE, pf15bit},
    {16, AV_PIX_FMT_RGB565LE, pf16bit}, {24, AV_PIX_FMT_BGR24, pf24bit},
    {32, AV_PIX_FMT_BGRA, pf32bit},
};

const int BicubicFlag = SWS_BICUBIC;

AVPixelFormat BitmapRowFormat(int BitsPerPixel) {
    return BitsPerPixel == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
}

} // namespace

TFormatConverter::TFormatConverter() : FBitmap(std::make_unique<TBitmap>()) {
    FBitmap->Canvas()->Brush()->SetStyle(bsClear);
    Reset();
}

TFormatConverter::~TFormatConverter() {
    for (SwsContext* C :
         {FtoRGB_convert_ctx, FfromRGB_convert_ctx, FtoBitmap_convert_ctx, FfromBitmap_convert_ctx})
        if (C) FF().sws_freeContext(C);
}

void TFormatConverter::Reset() {
    FDIB = BITMAP();
    FRGBPicture = TAVPicture();
    FRGBPictureRef = nullptr;
    const TBMPFormat& F = BMPFormats[FBMPPixFmt];
    FBitsPixel = F.BitsPixel;
    FAVPixFmt = F.AVFormat;
    FBitmap->SetPixelFormat(F.BitmapFormat);
}

void TFormatConverter::SetBitsPixel(int Value) {
    switch (Value) {
    case 8:
        SetBMPPixFmt(bmp8bit);
        break;
    case 15:
        SetBMPPixFmt(bmp15bit);
        break;
    case 16:
        SetBMPPixFmt(bmp16bit);
        break;
    case 24:
        SetBMPPixFmt(bmp24bit);
        break;
    case 32:
        SetBMPPixFmt(bmp32bit);
        break;
    default:
        throw EConvertError(Format("Invalid BitsPixel %d", Value));
    }
    Reset();
}

void TFormatConverter::SetBMPPixFmt(TBMPPixelFormat Value) {
    if (Value == FBMPPixFmt) return;
    FBMPPixFmt = Value;
    Reset();
}

bool TFormatConverter::PictureToRGB(const TAVPicture& Source, AVPixelFormat SourceFormat,
                                    bool CopyToBitmap, int Height, int Width) {
    FBitmap->SetSize(Width, Height);
    const int DIBLineSize = (Width * FBitsPixel + 31) / 32 * 4;
    const bool Direct = SourceFormat == FAVPixFmt && Width % 2 == 0 && Height % 2 == 0 &&
                        Source.linesize[0] == DIBLineSize;
    if (!Direct) {
        int Size = AlignedPictureSize(FAVPixFmt, Width, Height);
        if (Size < 0) {
            FLastErrMsg = "Cannot initialize the toRGB conversion context";
            FRGBPictureRef = nullptr;
            return false;
        }
        if (!FRGBBuffer.Reserve(size_t(Size))) {
            FLastErrMsg = "Out of memory";
            FRGBPictureRef = nullptr;
            return false;
        }
        FF().av_image_fill_arrays(FRGBPicture.data, FRGBPicture.linesize, FRGBBuffer.Data(),
                                  FAVPixFmt, Width, Height, PictureAlign);
        FtoRGB_convert_ctx =
            FF().sws_getCachedContext(FtoRGB_convert_ctx, Width, Height, SourceFormat, Width,
                                      Height, FAVPixFmt, BicubicFlag, nullptr, nullptr, nullptr);
        if (!FtoRGB_convert_ctx) {
            FLastErrMsg = "Cannot initialize the toRGB conversion context";
            FRGBPictureRef = nullptr;
            return false;
        }
        FF().sws_scale(FtoRGB_convert_ctx, Source.data, Source.linesize, 0, Height,
                       FRGBPicture.data, FRGBPicture.linesize);
        FRGBPictureRef = &FRGBPicture;
    } else {
        FSourceRef = Source;
        FRGBPictureRef = &FSourceRef;
    }
    FDIB = BITMAP();
    FDIB.bmWidth = Width;
    FDIB.bmHeight = Height;
    FDIB.bmWidthBytes = FRGBPictureRef->linesize[0];
    FDIB.bmPlanes = 1;
    FDIB.bmBitsPixel = WORD(FBitsPixel);
    FDIB.bmBits = FRGBPictureRef->data[0];
    if (CopyToBitmap) RGBToBitmap();
    return true;
}

void TFormatConverter::RGBToBitmap() {
    if (!FRGBPictureRef) throw EInvalidOperation("No picture to copy");
    const int W = FBitmap->Width(), H = FBitmap->Height();
    if (W <= 0 || H <= 0) return;
    const int Bpp = FBitmap->BitsPerPixel();
    if (Bpp == FBitsPixel) {
        const size_t Row = size_t(W) * size_t(Bpp / 8);
        for (int Y = 0; Y < H; ++Y)
            std::memcpy(FBitmap->ScanLine(Y),
                        FRGBPictureRef->data[0] + size_t(Y) * size_t(FRGBPictureRef->linesize[0]),
                        Row);
        return;
    }
    // The bitmap keeps this format in wider rows: convert, then copy.
    FtoBitmap_convert_ctx =
        FF().sws_getCachedContext(FtoBitmap_convert_ctx, W, H, FAVPixFmt, W, H,
                                  BitmapRowFormat(Bpp), BicubicFlag, nullptr, nullptr, nullptr);
    if (!FtoBitmap_convert_ctx) return;
    const int Row = W * (Bpp / 8);
    const int Stride = (Row + PictureAlign - 1) / PictureAlign * PictureAlign;
    if (!FRows.Reserve(size_t(Stride) * size_t(H))) return;
    uint8_t* Dst[4] = {FRows.Data()};
    int DstLines[4] = {Stride};
    FF().sws_scale(FtoBitmap_convert_ctx, FRGBPictureRef->data, FRGBPictureRef->linesize, 0, H, Dst,
                   DstLines);
    for (int Y = 0; Y < H; ++Y)
        std::memcpy(FBitmap->ScanLine(Y), FRows.Data() + size_t(Y) * size_t(Stride), size_t(Row));
}

void TFormatConverter::BitmapToRGB() {
    if (!FRGBPictureRef) throw EInvalidOperation("No picture to copy");
    const int W = std::min(FBitmap->Width(), int(FDIB.bmWidth));
    const int H = std::min(FBitmap->Height(), int(FDIB.bmHeight));
    if (W <= 0 || H <= 0) return;
    const int Bpp = FBitmap->BitsPerPixel();
    if (Bpp == FBitsPixel) {
        const size_t Row = size_t(W) * size_t(Bpp / 8);
        for (int Y = 0; Y < H; ++Y)
            std::memcpy(FRGBPictureRef->data[0] + size_t(Y) * size_t(FRGBPictureRef->linesize[0]),
                        FBitmap->ScanLine(Y), Row);
        return;
    }
    FfromBitmap_convert_ctx =
        FF().sws_getCachedContext(FfromBitmap_convert_ctx, W, H, BitmapRowFormat(Bpp), W, H,
                                  FAVPixFmt, BicubicFlag, nullptr, nullptr, nullptr);
    if (!FfromBitmap_convert_ctx) return;
    const int Row = W * (Bpp / 8);
    const int Stride = (Row + PictureAlign - 1) / PictureAlign * PictureAlign;
    if (!FRows.Reserve(size_t(Stride) * size_t(H))) return;
    for (int Y = 0; Y < H; ++Y)
        std::memcpy(FRows.Data() + size_t(Y) * size_t(Stride), FBitmap->ScanLine(Y), size_t(Row));
    const uint8_t* Src[4] = {FRows.Data()};
    int SrcLines[4] = {Stride};
    FF().sws_scale(FfromBitmap_convert_ctx, Src, SrcLines, 0, H, FRGBPictureRef->data,
                   FRGBPictureRef->linesize);
}

bool TFormatConverter::RGBToPicture(TAVPicture& Target, AVPixelFormat TargetFormat, int Height,
                                    int Width) {
    if (!FRGBPictureRef) throw EInvalidOperation("No picture to convert");
    FfromRGB_convert_ctx =
        FF().sws_getCachedContext(FfromRGB_convert_ctx, Width, Height, FAVPixFmt, Width, Height,
                                  TargetFormat, BicubicFlag, nullptr, nullptr, nullptr);
    if (!FfromRGB_convert_ctx) {
        FLastErrMsg = "Cannot initialize the fromRGB conversion context";
        return false;
    }
    FF().sws_scale(FfromRGB_convert_ctx, FRGBPictureRef->data, FRGBPictureRef->linesize, 0, Height,
                   Target.data, Target.linesize);
    return true;
}
