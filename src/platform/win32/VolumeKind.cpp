#include <cwctype>
#include <string>
#include <vector>

#include "platform/FileAccess.h"
#include "platform/win32/VolumeAnswers.h"
#include "platform/win32/WideText.h"

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

VolumeAnswers AskVolume(HANDLE handle, const std::string& path) {
  VolumeAnswers answers{};
  wchar_t fileSystem[MAX_PATH + 1] = {};
  if (GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                    MAX_PATH + 1)) {
    answers.FileSystem = fileSystem;
  }
  // Only a redirector answers this; a failed query means a local file.
  FILE_REMOTE_PROTOCOL_INFO remote{};
  answers.RemoteProtocol =
      GetFileInformationByHandleEx(handle, FileRemoteProtocolInfo, &remote, sizeof remote) != 0;
  std::vector<wchar_t> root(path.size() + MAX_PATH + 1);
  if (GetVolumePathNameW(Widen(path).c_str(), root.data(), static_cast<DWORD>(root.size()))) {
    answers.RemoteDrive = GetDriveTypeW(root.data()) == DRIVE_REMOTE;
  }
  FILE_BASIC_INFO basic{};
  // A change time that cannot be read vouches for nothing, like one that reads 0.
  answers.ChangeTimeZero =
      !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      basic.ChangeTime.QuadPart == 0;
  return answers;
}

}  // namespace

VolumeKind VolumeKindOfHandle(HANDLE handle, const std::string& path) {
  try {
    return VolumeKindOfAnswers(AskVolume(handle, path));
  } catch (const std::exception&) {
    return VolumeKind::Other;  // a path that cannot be spelt for the question vouches for nothing
  }
}

}  // namespace win32

VolumeKind ReadOnlyFile::Volume() const {
  return win32::VolumeKindOfHandle(reinterpret_cast<HANDLE>(native_), path_);
}

}  // namespace varo
