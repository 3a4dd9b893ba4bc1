#include "platform/core/streams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qel {

QEL_IMPLEMENT_CLASS(TStream)
QEL_IMPLEMENT_CLASS(TCustomMemoryStream)
QEL_IMPLEMENT_CLASS(TMemoryStream)
QEL_IMPLEMENT_CLASS(TReadOnlyMemoryStream)
QEL_IMPLEMENT_CLASS(TStringStream)
QEL_IMPLEMENT_CLASS(TFileStream)

int64_t TStream::Size() {
    int64_t pos = Seek(0, soCurrent);
    int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    int64_t done = 0;
    char buf[65536];
    while (done < count) {
        int64_t n = std::min<int64_t>(count - done, sizeof buf);
        source.ReadBuffer(buf, n);
        WriteBuffer(buf, n);
        done += n;
    }
    return done;
}

std::string TStream::ReadAll() {
    std::string out;
    char buf[65536];
    for (;;) {
        int64_t n = Read(buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

// ---- memory ----

void TCustomMemoryStream::SetPointer(const uint8_t* memory, int64_t size) {
    FMemory = memory;
    FSize = size;
}

int64_t TCustomMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPosition >= FSize) return 0;
    int64_t n = std::min(count, FSize - FPosition);
    std::memcpy(buffer, FMemory + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FPosition : FSize;
    int64_t pos = base + offset;
    if (pos < 0) throw EStreamError("Invalid stream position");
    FPosition = pos;
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
    if (FSize) stream.WriteBuffer(FMemory, FSize);
}

void TCustomMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

TMemoryStream::TMemoryStream(std::string_view bytes) {
    FData.assign(bytes.begin(), bytes.end());
    FSize = static_cast<int64_t>(bytes.size());
    Sync();
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t end = FPosition + count;
    if (end > static_cast<int64_t>(FData.size())) FData.resize(static_cast<size_t>(end));
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    if (end > FSize) FSize = end;
    Sync();
    return count;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream size");
    FData.resize(static_cast<size_t>(size));
    FSize = size;
    if (FPosition > size) FPosition = size;
    Sync();
}

void TMemoryStream::Clear() {
    FData.clear();
    FSize = 0;
    FPosition = 0;
    Sync();
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    int64_t n = stream.Size();
    SetSize(n);
    FPosition = 0;
    if (n) stream.ReadBuffer(FData.data(), n);
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

// ---- files ----

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FFileName(fileName) {
    if ((mode & 0xFF00) == fmCreate) {
        FHandle = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (FHandle < 0)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
        return;
    }
    int flags = O_CLOEXEC;
    switch (mode & 3) {
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
    }
    FHandle = ::open(fileName.c_str(), flags);
    if (FHandle < 0) throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
}

TFileStream::~TFileStream() {
    if (FHandle >= 0) ::close(FHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(FHandle, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(FHandle, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(FHandle, static_cast<off_t>(offset), whence);
    if (r < 0) throw EStreamError("Invalid stream position");
    return r;
}

void TFileStream::SetSize(int64_t size) {
    if (::ftruncate(FHandle, static_cast<off_t>(size)) != 0)
        throw EStreamError("Stream size cannot be changed: " + std::string(std::strerror(errno)));
    if (Position() > size) Seek(size, soBeginning);
}

void TFileStream::Flush() { ::fsync(FHandle); }

} // namespace qel
