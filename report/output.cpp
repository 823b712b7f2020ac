// Saving a finished test's files: the locked whole append with its rollback, new and replaced
// files, and the examiner's choice between another try and a file of its own.
#include "report/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "report/report_file.h"

namespace tavrik {

namespace {

constexpr char kUtf8BomText[] = "\xEF\xBB\xBF";

// Writes all of `data` at the file's position and waits until it is on the device; returns 0 or
// the errno that stopped it.
int WriteAll(int fd, const std::string& data, const ReportIo& io) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = io.write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // A write that moves nothing would loop for ever; treat it as the device giving up.
    if (n == 0) return EIO;
    done += static_cast<std::size_t>(n);
  }
  // EINVAL: the file cannot be synchronised at all (not a regular file); the data is written.
  if (io.fsync(fd) != 0 && errno != EINVAL) return errno;
  return 0;
}

// Opens the file to append to and takes its lock; `end` gets its end under the lock. A file
// that another writer took away while this one waited for it is opened again.
int OpenLocked(const std::string& path, const ReportIo& io, bool* existed, std::int64_t* end,
               int* error) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::int64_t size_at_open = 0;
    const int fd = io.open_for_append(path, existed, &size_at_open);
    if (fd < 0) {
      *error = errno;
      return -1;
    }
    if (io.lock(fd, io.lock_timeout_ms, end) == 0) return fd;
    *error = errno;
    io.close(fd);
    if (*error != ENOENT) return -1;
  }
  return -1;
}

// Takes this call's bytes off the end of a file that it could not close, and so no longer holds
// the lock of: only while they are still the last ones in it.
int RollBackClosed(const std::string& path, std::int64_t end, std::size_t written, bool created,
                   const ReportIo& io) {
  bool existed = false;
  std::int64_t now_end = 0;
  int error = 0;
  const int fd = OpenLocked(path, io, &existed, &now_end, &error);
  if (fd < 0) return error;
  int restore = 0;
  if (!existed || (created && end == 0 && now_end == static_cast<std::int64_t>(written))) {
    // Opened anew just now, or nobody else's bytes in it: the file goes again.
    if (io.remove(path) != 0) {
      if (io.truncate_open(fd, 0) != 0) restore = errno;
    }
  } else if (now_end == end + static_cast<std::int64_t>(written)) {
    if (io.truncate_open(fd, end) != 0) restore = errno;
  } else if (now_end != end) {
    restore = -1;  // another writer appended after this call's bytes
  }
  io.unlock(fd);
  io.close(fd);
  return restore;
}

// The folder of `path` made when it is missing; false with the reason when it cannot be.
bool MakeFolderOf(const std::string& path, WriteFailure* failure) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::string folder = path.substr(0, slash);
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::u8path(folder);
  if (std::filesystem::is_directory(p, ec)) return true;
  std::filesystem::create_directories(p, ec);
  if (!ec) return true;
  failure->folder = folder + "/";
  failure->error = ec.category() == std::generic_category() ? ec.value() : EIO;
  failure->system = ec.message();
  return false;
}

std::string Folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A part on its way: where it stands after the last try.
struct Attempt {
  const OutputPart* part = nullptr;
  bool written = false;
  WriteFailure failure;
  std::string saved_to;  // the file of its own it went to
};

bool WriteInPlace(Attempt& a, const ReportIo& io) {
  a.failure = WriteFailure{};
  const OutputPart& p = *a.part;
  if (!MakeFolderOf(p.path, &a.failure)) return false;
  if (p.replace) return ReplaceWhole(p.path, p.header + p.data, io, &a.failure);
  return AppendWhole(p.path, p.header, p.data, io, &a.failure);
}

// Writes the part to a new file named for the test in `folder`; the file's path, or empty with
// the reason in `failure`.
std::string WriteSeparately(const OutputPart& p, const std::string& folder, const LocalTime& when,
                            const ReportIo& io, WriteFailure* failure) {
  *failure = WriteFailure{};
  const std::string name = FileName(p.path);
  for (int attempt = 1; attempt <= 99; ++attempt) {
    const std::string path = folder + SeparateFileName(name, when, attempt);
    if (!MakeFolderOf(path, failure)) return "";
    if (WriteNewFile(path, p.header + p.data, io, failure)) return path;
    if (failure->error != EEXIST) return "";
  }
  return "";
}

std::string Title(const std::string& subject, const LocalTime& when) {
  return "результаты испытуемого «" + subject + "» (" + FormatReportDateTime(when) + ")";
}

std::string AskText(const std::vector<Attempt>& attempts, const std::string& subject,
                    const LocalTime& when, const std::string& fallback, const ReportIo& io) {
  std::string text = "Не удалось записать " + Title(subject, when) + ":\n";
  bool any_damaged = false;
  for (const Attempt& a : attempts) {
    if (a.written) continue;
    text += "- " + a.part->path + ": " + FailureText(a.failure, io) + ".\n";
    any_damaged = any_damaged || a.failure.damaged;
  }
  text += "\nРезультаты хранятся в памяти программы.\n";
  text += "«Повторить» (Enter): записать ещё раз то, что не записалось";
  if (any_damaged) text += " (кроме файлов, которые не удалось вернуть к прежнему виду)";
  text += ".\n«Сохранить отдельно» (Esc): записать это в новые файлы рядом с прежними";
  if (!fallback.empty()) text += ", а где туда писать нельзя, в папку " + fallback;
  text += ".";
  return text;
}

std::string WithoutBom(const std::string& text) {
  return text.compare(0, 3, kUtf8BomText) == 0 ? text.substr(3) : text;
}

}  // namespace

bool AppendWhole(const std::string& path, const std::string& header, const std::string& data,
                 const ReportIo& io, WriteFailure* failure) {
  *failure = WriteFailure{};
  bool existed = false;
  std::int64_t end = 0;
  const int fd = OpenLocked(path, io, &existed, &end, &failure->error);
  if (fd < 0) return false;

  // A file that is new, or empty, starts with the header; it goes in the same whole write.
  const std::string whole = end == 0 && !header.empty() ? header + data : data;
  failure->error = WriteAll(fd, whole, io);
  if (failure->error != 0) {
    // Part of the data may be in the file: cut it back under the lock, so that the file never
    // holds a torn part, and take away a file that this call made and nobody else wrote to.
    if (io.truncate_open(fd, end) != 0) {
      failure->restore_error = errno;
      // Even a write that failed may have put some of its bytes in.
      failure->damaged = true;
    } else if (!existed && end == 0) {
      // An empty file holds nothing; should it stay, the next append gives it its header.
      io.remove(path);
    }
    io.unlock(fd);
    io.close(fd);
    return false;
  }
  io.unlock(fd);
  if (io.close(fd) == 0) return true;
  failure->error = errno;
  failure->restore_error = RollBackClosed(path, end, whole.size(), !existed, io);
  failure->damaged = failure->restore_error != 0;
  return false;
}

bool WriteNewFile(const std::string& path, const std::string& data, const ReportIo& io,
                  WriteFailure* failure) {
  *failure = WriteFailure{};
  const int fd = io.create_new(path);
  if (fd < 0) {
    failure->error = errno;
    return false;
  }
  failure->error = WriteAll(fd, data, io);
  if (io.close(fd) != 0 && failure->error == 0) failure->error = errno;
  if (failure->error == 0) return true;
  // Nobody else knows of this file yet.
  if (io.remove(path) != 0) {
    failure->restore_error = errno;
    failure->damaged = true;
  }
  return false;
}

bool ReplaceWhole(const std::string& path, const std::string& data, const ReportIo& io,
                  WriteFailure* failure) {
  const std::string folder = Folder(path), name = FileName(path);
  for (int attempt = 1; attempt <= 99; ++attempt) {
    const std::string temporary = folder + "~" + name + "." + std::to_string(attempt) + ".tmp";
    if (!WriteNewFile(temporary, data, io, failure)) {
      if (failure->error == EEXIST) continue;
      return false;
    }
    if (io.rename(temporary, path) == 0) return true;
    failure->error = errno;
    io.remove(temporary);
    return false;
  }
  return false;
}

std::string FailureText(const WriteFailure& f, const ReportIo& io) {
  std::string words;
  bool with_system = true;
  switch (f.error) {
    case EBUSY:
      words = "файл открыт в другой программе, например в Excel: закройте его";
      with_system = false;
      break;
    case ETIMEDOUT:
      words =
          "файл занят другой станцией дольше " + std::to_string(io.lock_timeout_ms / 1000) + " с";
      with_system = false;
      break;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      words = "диск заполнен";
      break;
    case EACCES:
    case EPERM:
      words = "нет прав на запись";
      break;
    case EROFS:
      words = "диск защищён от записи";
      break;
    case EISDIR:
      words = "на месте файла стоит папка";
      break;
    case ENOTDIR:
      words = "на месте папки стоит файл";
      break;
    default:
      break;
  }
  const std::string system = f.system.empty() ? std::strerror(f.error) : f.system;
  std::string text;
  if (words.empty()) {
    text = system;
  } else {
    text = words;
    if (with_system) text += " (" + system + ")";
  }
  if (!f.folder.empty()) text = "не удалось создать папку " + f.folder + ": " + text;
  if (f.restore_error != 0) {
    text += "; файл не удалось вернуть к прежнему виду: ";
    text += f.restore_error < 0 ? "после этой записи в него уже писала другая станция"
                                : std::strerror(f.restore_error);
    if (f.damaged) text += ", и в конце файла может остаться часть этой записи";
  }
  return text;
}

std::string SeparateFileName(const std::string& file_name, const LocalTime& when, int attempt) {
  const std::size_t dot = file_name.rfind('.');
  const std::string stem = dot == std::string::npos ? file_name : file_name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : file_name.substr(dot);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, " %04d-%02d-%02d %02d-%02d-%02d", when.year, when.month,
                when.day, when.hour, when.minute, when.second);
  std::string name = stem + stamp;
  if (attempt > 1) name += " (" + std::to_string(attempt) + ")";
  return name + ext;
}

std::string SaveOutputs(const std::vector<OutputPart>& parts, const std::string& subject,
                        const LocalTime& when, const SessionServices& services,
                        const ReportIo& io) {
  const std::string fallback = io.fallback_folder ? io.fallback_folder() : std::string();
  std::vector<Attempt> attempts;
  for (const OutputPart& p : parts) {
    Attempt a;
    a.part = &p;
    attempts.push_back(a);
  }
  for (Attempt& a : attempts) a.written = WriteInPlace(a, io);

  // Another try of exactly what failed, for as long as the examiner asks for one. A part that may
  // have left some of its bytes behind is not tried in its file again: that could write it twice.
  while (true) {
    bool any_failed = false, any_retryable = false;
    for (const Attempt& a : attempts) {
      any_failed = any_failed || !a.written;
      any_retryable = any_retryable || (!a.written && !a.failure.damaged);
    }
    if (!any_failed) return "";
    if (!any_retryable) break;
    if (services.AskSaveChoice(AskText(attempts, subject, when, fallback, io)) !=
        SaveChoice::kRetry) {
      break;
    }
    for (Attempt& a : attempts) {
      if (!a.written && !a.failure.damaged) a.written = WriteInPlace(a, io);
    }
  }

  // Each part that failed goes whole to a file of its own: beside its file, else in the fallback
  // folder.
  std::string saved, nowhere, shown;
  bool streamed = false;
  const bool reaches = !io.error_stream_reaches || io.error_stream_reaches();
  for (Attempt& a : attempts) {
    if (a.written) continue;
    const OutputPart& p = *a.part;
    WriteFailure beside;
    a.saved_to = WriteSeparately(p, Folder(p.path), when, io, &beside);
    WriteFailure elsewhere;
    if (a.saved_to.empty() && !fallback.empty() && fallback != Folder(p.path)) {
      a.saved_to = WriteSeparately(p, fallback, when, io, &elsewhere);
    }
    if (!a.saved_to.empty()) {
      saved += "- " + a.saved_to + " (вместо " + p.path + ": " + FailureText(a.failure, io) + ")\n";
      continue;
    }
    nowhere += "- " + p.path + ": " + FailureText(a.failure, io) +
               "; отдельно: " + FailureText(beside, io);
    if (!fallback.empty() && fallback != Folder(p.path)) {
      nowhere += "; в папке " + fallback + ": " + FailureText(elsewhere, io);
    }
    nowhere += ".\n";
    if (reaches) {
      io.error_stream(p.label + "\n" + (p.shown.empty() ? WithoutBom(p.header) + p.data : p.shown));
      streamed = true;
    }
    if (!p.shown.empty()) shown += "\n" + p.shown;
  }

  std::string message;
  if (!saved.empty()) message = "Сохранено отдельно:\n" + saved;
  if (!nowhere.empty()) {
    if (!message.empty()) message += "\n";
    message += "Не удалось записать нигде " + Title(subject, when) + ":\n" + nowhere;
    if (streamed) message += "Они выведены в стандартный поток ошибок.\n";
  }
  while (!message.empty() && message.back() == '\n') message.pop_back();
  // The data itself last and as it is: the examiner may have nothing else to copy it from.
  if (!shown.empty()) message += "\n\nПерепишите их отсюда:\n" + shown;
  return message;
}

}  // namespace tavrik
