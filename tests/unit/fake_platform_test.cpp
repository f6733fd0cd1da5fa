// The fake must behave like the system where the logic depends on it.
#include "fake_platform.h"

#include <gtest/gtest.h>

TEST(FakePlatform, FaultsFailTheNamedCallAndSetTheLastError) {
  FakePlatform fake;
  fake.FailNext("CreateDirectoryW", 5);
  EXPECT_FALSE(fake.files.MakeFolder(u"C:\\a"));
  EXPECT_EQ(fake.process.LastError(), 5u);
  EXPECT_TRUE(fake.files.MakeFolder(u"C:\\a"));
  EXPECT_FALSE(fake.files.MakeFolder(u"C:\\a"));
  EXPECT_EQ(fake.process.LastError(), platform::kErrorAlreadyExists);
}

TEST(FakePlatform, PathsIgnoreCaseAndDoubledSeparators) {
  FakePlatform fake;
  fake.files.AddFile(u"C:\\Temp\\Work\\File.txt", "x");
  EXPECT_TRUE(fake.files.Exists(u"c:\\temp\\work\\\\file.TXT"));
  EXPECT_EQ(fake.files.Attributes(u"C:\\Temp\\Work\\"), platform::kFileAttributeDirectory);
}

TEST(FakePlatform, ListingShowsDotEntriesThenChildren) {
  FakePlatform fake;
  fake.files.AddFile(u"C:\\w\\a.txt");
  fake.files.AddFolder(u"C:\\w\\sub");
  platform::FindEntry entry;
  auto find = fake.files.FindFirst(u"C:\\w\\\\*", &entry);
  ASSERT_NE(find, platform::kInvalidHandle);
  std::vector<WString> names{entry.name};
  while (fake.files.FindNext(find, &entry)) names.push_back(entry.name);
  fake.files.FindClose(find);
  EXPECT_EQ(names, (std::vector<WString>{u".", u"..", u"a.txt", u"sub"}));
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

TEST(FakePlatform, RegistryValuesTooLargeReportMoreData) {
  FakePlatform fake;
  fake.registry.SetString(u"Software\\P", u"PathVal", u"C:\\Games\\");
  platform::KeyHandle key = nullptr;
  ASSERT_EQ(fake.registry.OpenKey(platform::Registry::Root::kLocalMachine, u"software\\p", &key),
            0u);
  char16_t small[4];
  uint32_t size = sizeof(small);
  EXPECT_EQ(fake.registry.QueryValue(key, u"PathVal", small, &size), platform::kErrorMoreData);
  fake.registry.CloseKey(key);
  EXPECT_EQ(fake.registry.openKeys, 0);
}

TEST(FakePlatform, DiskLimitFailsWritesWithDiskFull) {
  FakePlatform fake;
  fake.files.AddFolder(u"C:\\w");
  fake.files.freeBytes = 3;
  auto file = fake.files.OpenFile(u"C:\\w\\f", platform::FileSystem::OpenMode::kCreateNewWrite);
  uint32_t written = 0;
  EXPECT_TRUE(fake.files.Write(file, "abc", 3, &written));
  EXPECT_FALSE(fake.files.Write(file, "d", 1, &written));
  EXPECT_EQ(fake.process.LastError(), platform::kErrorDiskFull);
  fake.files.CloseFile(file);
  EXPECT_EQ(fake.files.Content(u"C:\\w\\f"), "abc");
}
