#include "classlib/streams.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

namespace {

TEST(MemoryStreamTest, ReadWriteSeekAndSize) {
    TMemoryStream ms;
    ms.WriteBuffer("hello world", 11);
    EXPECT_EQ(ms.Size(), 11);
    EXPECT_EQ(ms.Position(), 11);
    EXPECT_EQ(ms.Seek(-5, soFromEnd), 6);
    char buf[16] = {};
    EXPECT_EQ(ms.Read(buf, 100), 5);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(ms.Read(buf, 1), 0);
    EXPECT_EQ(ms.Seek(-1, soFromBeginning), -1);

    // Writing past the end grows the stream; the gap is zero.
    ms.SetPosition(13);
    ms.WriteBuffer("!", 1);
    EXPECT_EQ(ms.Size(), 14);
    EXPECT_EQ(static_cast<const char*>(ms.Memory())[11], '\0');
    ms.SetSize(5);
    EXPECT_EQ(ms.Position(), 5);
    ms.SetPosition(0);
    EXPECT_EQ(ms.ReadAll(), "hello");
}

TEST(MemoryStreamTest, ReadBufferIsAllOrNothing) {
    TStringStream ss("abc");
    char buf[4];
    EXPECT_THROW(ss.ReadBuffer(buf, 4), EReadError);
    ss.SetPosition(0);
    ss.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    EXPECT_THROW(ss.ReadBuffer(buf, -1), EReadError);
}

TEST(StreamCopyTest, ZeroCopiesTheWholeSourceFromItsStart) {
    TStringStream src("0123456789");
    src.SetPosition(7);
    TMemoryStream dst;
    EXPECT_EQ(dst.CopyFrom(&src, 0), 10);
    dst.SetPosition(0);
    EXPECT_EQ(dst.ReadAll(), "0123456789");

    src.SetPosition(2);
    TStringStream part;
    EXPECT_EQ(part.CopyFrom(&src, 3), 3);
    EXPECT_EQ(part.DataString(), "234");
    EXPECT_EQ(src.Position(), 5);
    EXPECT_THROW(part.CopyFrom(&src, 6), EReadError); // only 5 left

    TStringStream empty;
    TStringStream into;
    EXPECT_EQ(into.CopyFrom(&empty, 0), 0);
}

TEST(StreamCopyTest, LargeCopiesBetweenFiles) {
    TempDir tmp;
    std::string data;
    for (int i = 0; i < 200000; ++i)
        data += char('a' + i % 26);
    tmp.write("big", data);
    {
        TFileStream in(tmp.file("big"), fmOpenRead | fmShareDenyWrite);
        TFileStream out(tmp.file("copy"), fmCreate);
        EXPECT_EQ(in.Size(), int64_t(data.size()));
        EXPECT_EQ(out.CopyFrom(&in, 0), int64_t(data.size()));
    }
    EXPECT_EQ(tmp.read("copy"), data);
}

TEST(FileStreamTest, ModesAndErrors) {
    TempDir tmp;
    std::string f = tmp.file("a.bin");
    {
        TFileStream s(f, fmCreate);
        s.WriteString("abcdef");
        EXPECT_EQ(s.FileName(), f);
    }
    {
        TFileStream s(f, fmOpenReadWrite | fmShareExclusive);
        s.Seek(2, soFromBeginning);
        s.WriteString("XY");
        s.SetSize(5);
        EXPECT_EQ(s.Size(), 5);
    }
    EXPECT_EQ(tmp.read("a.bin"), "abXYe");
    {
        TFileStream s(f, fmOpenRead);
        EXPECT_EQ(s.Write("z", 1), 0); // read-only handle
        EXPECT_THROW(s.WriteBuffer("z", 1), EWriteError);
    }
    {
        TFileStream s(f, fmOpenWrite);
        char c;
        EXPECT_EQ(s.Read(&c, 1), 0);
    }
    EXPECT_THROW(TFileStream(tmp.file("missing"), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(tmp.file("no/such/dir/x"), fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(tmp.path(), fmOpenRead), EFOpenError); // a folder
    try {
        TFileStream s(tmp.file("missing"), fmOpenRead);
    } catch (const EStreamError& e) {
        EXPECT_NE(e.Message.find("missing"), std::string::npos);
    }
}

TEST(MemoryStreamTest, FilesInAndOut) {
    TempDir tmp;
    TMemoryStream ms;
    ms.LoadFromFile(tmp.write("in", std::string("a\0b", 3)));
    EXPECT_EQ(ms.Size(), 3);
    EXPECT_EQ(ms.Position(), 0);
    ms.SaveToFile(tmp.file("out"));
    EXPECT_EQ(tmp.read("out"), std::string("a\0b", 3));
    EXPECT_THROW(ms.LoadFromFile(tmp.file("none")), EFOpenError);
    ms.Clear();
    EXPECT_EQ(ms.Size(), 0);
}

TEST(FileBytesTest, AtomicWriteReplacesWholeFile) {
    TempDir tmp;
    std::string f = tmp.write("x.txt", "old content that is long");
    WriteFileBytesAtomic(f, "new");
    EXPECT_EQ(tmp.read("x.txt"), "new");
    EXPECT_EQ(ReadFileBytes(f), "new");
    EXPECT_THROW(WriteFileBytesAtomic(tmp.file("none/x"), "a"), EFCreateError);
    EXPECT_THROW(ReadFileBytes(tmp.file("none")), EFOpenError);
}

} // namespace
