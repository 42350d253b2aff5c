#include "engine/ForceDelete.h"

#include "base/FileSystem.h"
#include "engine/Permissions.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <winioctl.h>

#include <vector>

using namespace testing_support;

namespace {

TEST(ForceDelete, ReadOnlyFileGoesWithoutThePermissionOption) {
  TempFolder root;
  WideString file = root / L"locked.txt";
  ASSERT_TRUE(WriteTestFile(file, FileContent("x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)));
  EXPECT_EQ(ForceDelete(file, 0), ForceDeleteResult::kDeleted);
  EXPECT_FALSE(Exists(file));
}

TEST(ForceDelete, FolderTreeWithHiddenAndSystemFiles) {
  TempFolder root;
  WideString tree = root / L"tree";
  ASSERT_TRUE(WriteTestFile(tree + L"\\a.txt", "a"));
  ASSERT_TRUE(WriteTestFile(tree + L"\\sub\\hidden.txt", FileContent("h", FILE_ATTRIBUTE_HIDDEN)));
  ASSERT_TRUE(WriteTestFile(tree + L"\\sub\\deeper\\system.sys", FileContent("s", FILE_ATTRIBUTE_SYSTEM)));
  ASSERT_TRUE(CreateFolder(tree + L"\\sub\\hiddenfolder", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ForceDelete(tree, 0), ForceDeleteResult::kDeleted);
  EXPECT_FALSE(Exists(tree));
  EXPECT_TRUE(IsExistingFolder(root.path()));
}

TEST(ForceDelete, WildcardDeletesOnlyTheMatches) {
  TempFolder root;
  ASSERT_TRUE(WriteTestFile(root / L"one.tmp", "1"));
  ASSERT_TRUE(WriteTestFile(root / L"two.tmp", "2"));
  ASSERT_TRUE(WriteTestFile(root / L"dir.tmp\\inner.txt", "3"));
  ASSERT_TRUE(WriteTestFile(root / L"keep.txt", "k"));
  EXPECT_EQ(ForceDelete(root / L"*.tmp", 0), ForceDeleteResult::kDeleted);
  EXPECT_FALSE(Exists(root / L"one.tmp"));
  EXPECT_FALSE(Exists(root / L"two.tmp"));
  EXPECT_FALSE(Exists(root / L"dir.tmp"));
  EXPECT_TRUE(Exists(root / L"keep.txt"));
  // A pattern that matches nothing has nothing to delete.
  EXPECT_EQ(ForceDelete(root / L"*.none", 0), ForceDeleteResult::kDeleted);
}

TEST(ForceDelete, MissingPathCountsAsDeleted) {
  TempFolder root;
  EXPECT_EQ(ForceDelete(root / L"never-was", 0), ForceDeleteResult::kDeleted);
}

TEST(ForceDelete, FileHeldOpenFailsAndStays) {
  TempFolder root;
  WideString file = root / L"busy.txt";
  ASSERT_TRUE(WriteTestFile(file, "busy"));
  HeldOpenFile held(file);
  ASSERT_TRUE(held.held());
  EXPECT_EQ(ForceDelete(file, 0), ForceDeleteResult::kFailed);
  EXPECT_TRUE(Exists(file));
  // A tree with one busy file reports the failure but removes everything else.
  ASSERT_TRUE(WriteTestFile(root / L"other.txt", "o"));
  EXPECT_EQ(ForceDelete(root.path(), 0), ForceDeleteResult::kFailed);
  EXPECT_TRUE(Exists(file));
  EXPECT_FALSE(Exists(root / L"other.txt"));
}

TEST(ForceDelete, LongPathsBeyondTheClassicLimit) {
  TempFolder root;
  WideString deep = root / L"long";
  while (deep.size() < 300) deep += L"\\another-long-folder-name";
  ASSERT_TRUE(CreateFolder(deep));
  ASSERT_TRUE(WriteTestFile(deep + L"\\file.txt", "x"));
  EXPECT_EQ(ForceDelete(root / L"long", 0), ForceDeleteResult::kDeleted);
  EXPECT_FALSE(Exists(root / L"long"));
}

// The mount-point layout of a reparse buffer (declared by the driver kit's headers, not the SDK's).
struct MountPointReparseBuffer {
  DWORD ReparseTag;
  USHORT ReparseDataLength;
  USHORT Reserved;
  USHORT SubstituteNameOffset;
  USHORT SubstituteNameLength;
  USHORT PrintNameOffset;
  USHORT PrintNameLength;
  WCHAR PathBuffer[1];
};

// Makes link a junction to target; false where the file system cannot hold one.
bool MakeJunction(const WideString& link, const WideString& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  UniqueHandle handle(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return false;
  WideString substitute = L"\\??\\" + target;
  std::vector<BYTE> buffer(sizeof(MountPointReparseBuffer) + (substitute.size() + target.size() + 2) * 2);
  auto* data = reinterpret_cast<MountPointReparseBuffer*>(buffer.data());
  data->ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
  auto& mount = *data;
  mount.SubstituteNameOffset = 0;
  mount.SubstituteNameLength = static_cast<USHORT>(substitute.size() * 2);
  mount.PrintNameOffset = static_cast<USHORT>((substitute.size() + 1) * 2);
  mount.PrintNameLength = static_cast<USHORT>(target.size() * 2);
  memcpy(mount.PathBuffer, substitute.c_str(), (substitute.size() + 1) * 2);
  memcpy(mount.PathBuffer + substitute.size() + 1, target.c_str(), (target.size() + 1) * 2);
  data->ReparseDataLength = static_cast<USHORT>(8 + (substitute.size() + target.size() + 2) * 2);
  DWORD returned = 0;
  return DeviceIoControl(handle.get(), FSCTL_SET_REPARSE_POINT, data, data->ReparseDataLength + 8, nullptr, 0,
                         &returned, nullptr) != 0;
}

TEST(ForceDelete, JunctionIsRemovedAsALinkAndItsTargetStays) {
  TempFolder root;
  WideString target = root / L"target";
  ASSERT_TRUE(WriteTestFile(target + L"\\precious.txt", "keep me"));
  WideString tree = root / L"tree";
  ASSERT_TRUE(CreateFolder(tree));
  if (!MakeJunction(tree + L"\\link", target)) {
    GTEST_SKIP() << "this file system cannot create junctions (FSCTL_SET_REPARSE_POINT failed with "
                 << GetLastError() << ")";
  }
  ASSERT_TRUE(AttributesOf(tree + L"\\link") & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(ForceDelete(tree, 0), ForceDeleteResult::kDeleted);
  EXPECT_FALSE(Exists(tree));
  EXPECT_EQ(ReadTestFile(target + L"\\precious.txt"), "keep me");
}

TEST(ResetPermissions, FreshAccessListLetsTheFileBeDeleted) {
  TempFolder root;
  WideString file = root / L"guarded.txt";
  ASSERT_TRUE(WriteTestFile(file, "g"));
  EXPECT_TRUE(ResetPermissions(file, kResetFileOnly, nullptr));
  EXPECT_TRUE(ResetPermissions(root.path(), kResetTree, nullptr));
  EXPECT_EQ(ForceDelete(file, kDeleteResetPermissions), ForceDeleteResult::kDeleted);
}

TEST(EnableProcessPrivileges, EnablesTheBackupPrivilegeWhereTheAccountHoldsIt) {
  ASSERT_TRUE(EnableProcessPrivileges());
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  UniqueKernelHandle owner(token);
  LUID backup;
  ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"SeBackupPrivilege", &backup));
  PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{backup, 0}}};
  BOOL held = FALSE;
  ASSERT_TRUE(PrivilegeCheck(token, &set, &held));
  EXPECT_TRUE(held);
}

}  // namespace
