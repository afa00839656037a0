#include "download/archive_input.h"

#include <algorithm>
#include <cstring>

namespace zeva {
namespace {

ArchiveInput& Self(voidpf opaque) {
  return *static_cast<ArchiveInput*>(opaque);
}

voidpf ZCALLBACK OpenInput(voidpf opaque, const void*, int mode) {
  const bool reading = (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ;
  return reading ? opaque : nullptr;
}

uLong ZCALLBACK ReadInput(voidpf opaque, voidpf, void* data, uLong size) {
  return static_cast<uLong>(Self(opaque).Read(data, size));
}

uLong ZCALLBACK WriteInput(voidpf, voidpf, const void*, uLong) {
  return 0;
}

ZPOS64_T ZCALLBACK TellInput(voidpf opaque, voidpf) {
  return Self(opaque).Position();
}

long ZCALLBACK SeekInput(voidpf opaque, voidpf, ZPOS64_T offset, int origin) {
  return Self(opaque).Seek(static_cast<int64_t>(offset), origin) ? 0 : -1;
}

int ZCALLBACK CloseInput(voidpf, voidpf) {
  return 0;
}

int ZCALLBACK InputError(voidpf opaque, voidpf) {
  return Self(opaque).Failed() ? 1 : 0;
}

}  // namespace

ArchiveInput::ArchiveInput(std::unique_ptr<IFileReader> reader) : m_reader(std::move(reader)) {
  const std::optional<uint64_t> size = m_reader ? m_reader->Size() : std::nullopt;
  if (size) {
    m_size = *size;
  } else {
    m_failed = true;
  }
}

zlib_filefunc64_def ArchiveInput::Functions() {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenInput;
  functions.zread_file = ReadInput;
  functions.zwrite_file = WriteInput;
  functions.ztell64_file = TellInput;
  functions.zseek64_file = SeekInput;
  functions.zclose_file = CloseInput;
  functions.zerror_file = InputError;
  functions.opaque = this;
  return functions;
}

ArchiveInput::Window* ArchiveInput::WindowAt(uint64_t position) {
  Window* window = &m_windows[0];
  for (Window& candidate : m_windows) {
    if (candidate.Holds(position)) {
      candidate.lastUse = ++m_uses;
      return &candidate;
    }
    if (candidate.lastUse < window->lastUse) window = &candidate;
  }
  window->start = position;
  window->length = 0;
  window->lastUse = ++m_uses;
  while (window->length < window->bytes.size()) {
    const std::optional<size_t> got =
        m_reader->ReadAt(position + window->length, window->bytes.data() + window->length,
                         window->bytes.size() - window->length);
    if (!got) {
      m_failed = true;
      window->length = 0;
      return nullptr;
    }
    if (*got == 0) break;
    window->length += *got;
  }
  return window->length > 0 ? window : nullptr;
}

size_t ArchiveInput::Read(void* data, size_t size) {
  m_shortRead = size > 0;
  if (m_failed) return 0;
  auto* out = static_cast<unsigned char*>(data);
  size_t done = 0;
  while (done < size && m_position < m_size) {
    const Window* window = WindowAt(m_position);
    if (!window) break;
    const size_t offset = static_cast<size_t>(m_position - window->start);
    const size_t take = std::min(size - done, window->length - offset);
    std::memcpy(out + done, window->bytes.data() + offset, take);
    done += take;
    m_position += take;
  }
  m_shortRead = done < size;
  if (done > 0) m_lowestRead = std::min(m_lowestRead, m_position - done);
  return done;
}

std::optional<size_t> ArchiveInput::ReadAt(uint64_t offset, void* data, size_t size) {
  if (m_failed) return std::nullopt;
  return m_reader->ReadAt(offset, data, size);
}

bool ArchiveInput::Seek(int64_t offset, int origin) {
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
    base = m_position;
  } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
    base = m_size;
  } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
    return false;
  }
  // minizip passes unsigned offsets; a "negative" one wraps to before the start.
  const uint64_t target = base + static_cast<uint64_t>(offset);
  if (offset < 0 && target > base) return false;
  if (offset > 0 && target < base) return false;
  m_position = target;
  return true;
}

}  // namespace zeva
