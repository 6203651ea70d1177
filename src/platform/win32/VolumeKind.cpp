#include <cwctype>
#include <string>

#include "platform/FileAccess.h"
#include "platform/win32/NativeFiles.h"
#include "platform/win32/VolumeAnswers.h"

namespace varo {

namespace win32 {

namespace {

bool SameName(const std::wstring& a, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != L'\0'; ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return i == a.size() && b[i] == L'\0';
}

}  // namespace

VolumeKind VolumeKindOfAnswers(const VolumeAnswers& answers) {
  // A share's times come from the file server's clock, whatever file system it names.
  if (answers.RemoteProtocol || answers.RemoteDrive) return VolumeKind::Network;
  if (answers.ChangeTimeZero) return VolumeKind::NoChangeTime;
  if (SameName(answers.FileSystem, L"NTFS")) return VolumeKind::Ntfs;
  if (SameName(answers.FileSystem, L"ReFS")) return VolumeKind::Refs;
  for (const wchar_t* fat : {L"FAT", L"FAT12", L"FAT16", L"FAT32", L"exFAT"}) {
    if (SameName(answers.FileSystem, fat)) return VolumeKind::Fat;
  }
  return VolumeKind::Other;
}

namespace {

// Everything is asked of the handle: no path is walked and no other file opened, so the question
// costs the same wherever the file lies.
VolumeAnswers AskVolume(HANDLE handle, bool changeTimeZero) {
  VolumeAnswers answers{};
  wchar_t fileSystem[MAX_PATH + 1] = {};
  // Only the file system's name is asked: one query of the volume.
  if (GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                    MAX_PATH + 1)) {
    answers.FileSystem = fileSystem;
  }
  // Only a redirector answers this; a failed query means a local file.
  FILE_REMOTE_PROTOCOL_INFO remote{};
  answers.RemoteProtocol =
      GetFileInformationByHandleEx(handle, FileRemoteProtocolInfo, &remote, sizeof remote) != 0;
  answers.RemoteDrive = OnRemoteDevice(handle);
  answers.ChangeTimeZero = changeTimeZero;
  return answers;
}

}  // namespace

VolumeKind VolumeKindOfHandle(HANDLE handle, bool changeTimeZero) {
  return VolumeKindOfAnswers(AskVolume(handle, changeTimeZero));
}

VolumeKind VolumeKindOfHandle(HANDLE handle) {
  FILE_BASIC_INFO basic{};
  // A change time that cannot be read vouches for nothing, like one that reads 0.
  const bool changeTimeZero =
      !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      basic.ChangeTime.QuadPart == 0;
  return VolumeKindOfHandle(handle, changeTimeZero);
}

}  // namespace win32

VolumeKind ReadOnlyFile::Volume() const {
  // The change time the opening read: a file whose change time reads 0 keeps nothing.
  return win32::VolumeKindOfHandle(reinterpret_cast<HANDLE>(native_),
                                   opened_.Changed == win32::FileTimeOfTicks(0));
}

}  // namespace varo
