#pragma once
// Streams: the abstract TStream with the platform's error rules, memory and file streams.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/core/component.h"

namespace qel {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// File modes of TFileStream.
constexpr unsigned fmCreate = 0xFF00;
constexpr unsigned fmOpenRead = 0x0000;
constexpr unsigned fmOpenWrite = 0x0001;
constexpr unsigned fmOpenReadWrite = 0x0002;
constexpr unsigned fmShareDenyNone = 0x0040;

class TStream : public TObject {
    QEL_CLASS(TStream, TObject)
    // Reads up to `count` bytes; returns how many were read.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t size);

    // Exactly `count` bytes, or EReadError ("Stream read error") / EWriteError ("Stream write error").
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies `count` bytes from `source` (0: all of it from its start); returns the count.
    int64_t CopyFrom(TStream& source, int64_t count);

    // Reads the rest of the stream.
    std::string ReadAll();
    void WriteString(const std::string& s) { WriteBuffer(s.data(), static_cast<int64_t>(s.size())); }
};

class TCustomMemoryStream : public TStream {
    QEL_CLASS(TCustomMemoryStream, TStream)
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return FSize; }
    const uint8_t* Memory() const { return FMemory; }
    void SaveToStream(TStream& stream);
    void SaveToFile(const std::string& fileName);

protected:
    void SetPointer(const uint8_t* memory, int64_t size);
    const uint8_t* FMemory = nullptr;
    int64_t FSize = 0;
    int64_t FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream {
    QEL_CLASS(TMemoryStream, TCustomMemoryStream)
    TMemoryStream() = default;
    explicit TMemoryStream(std::string_view bytes);
    int64_t Write(const void* buffer, int64_t count) override;
    void SetSize(int64_t size) override;
    void Clear();
    uint8_t* Memory() { return FData.data(); }
    const uint8_t* Memory() const { return FData.data(); }
    std::string_view Bytes() const {
        return {reinterpret_cast<const char*>(FData.data()), static_cast<size_t>(FSize)};
    }
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);

private:
    void Sync() { SetPointer(FData.data(), FSize); }
    std::vector<uint8_t> FData;
};

// A read-only stream over memory that someone else owns (embedded resources, for example).
class TReadOnlyMemoryStream : public TCustomMemoryStream {
    QEL_CLASS(TReadOnlyMemoryStream, TCustomMemoryStream)
    TReadOnlyMemoryStream(const void* data, int64_t size) { SetPointer(static_cast<const uint8_t*>(data), size); }
    int64_t Write(const void*, int64_t) override { throw EStreamError("Can't write to a read-only stream"); }
};

class TStringStream : public TMemoryStream {
    QEL_CLASS(TStringStream, TMemoryStream)
    explicit TStringStream(std::string_view s = {}) : TMemoryStream(s) {}
    std::string DataString() const { return std::string(Bytes()); }
};

class TFileStream : public TStream {
    QEL_CLASS(TFileStream, TStream)
    // EFOpenError ("Cannot open file "x". <reason>") or EFCreateError ("Cannot create file ...").
    TFileStream(const std::string& fileName, unsigned mode);
    ~TFileStream() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;
    const std::string& FileName() const { return FFileName; }
    // Flushes to the disk (fsync), for data that must survive a crash.
    void Flush();

private:
    std::string FFileName;
    int FHandle = -1;
};

} // namespace qel
