#include "product/payload_files.h"

#include <gtest/gtest.h>

#include "payload/locations.h"

#include "temp_folder.h"

namespace {

std::vector<std::string> Names(const std::vector<PayloadFile>& files) {
  std::vector<std::string> names;
  for (const PayloadFile& file : files) names.push_back(file.name);
  return names;
}

TEST(PayloadFolder, FilesAreListedSortedWithBackslashesAndUtf8Names) {
  TempFolder folder;
  folder.Write("Skyforge2.msi", "msi");
  folder.Write("Docs/Readme.txt", "readme");
  folder.Write("Docs/\xd0\x9f\xd1\x80\xd0\xbe\xd1\x87\xd1\x82\xd0\xb8.txt", "cyrillic");
  folder.Write("Data/Deeper/file.bin", "");
  std::filesystem::create_directories(folder.Path() / "EmptyFolder");
  Diagnostics diagnostics;
  const std::vector<PayloadFile> files = CollectPayloadFiles(folder.Path(), folder.Path(), diagnostics);
  EXPECT_EQ(diagnostics.Text(), "");
  EXPECT_EQ(Names(files), (std::vector<std::string>{
                              "Data\\Deeper\\file.bin",
                              "Docs\\Readme.txt",
                              "Docs\\\xd0\x9f\xd1\x80\xd0\xbe\xd1\x87\xd1\x82\xd0\xb8.txt",
                              "Skyforge2.msi",
                          }));
  EXPECT_EQ(files[1].size, 6u);
  EXPECT_EQ(files[0].size, 0u);
}

TEST(PayloadFolder, BadNamesAreReportedPerFileAndNothingIsListed) {
  TempFolder folder;
  folder.Write("Skyforge2.msi", "msi");
  folder.Write("a;b.txt", "x");
  folder.Write("back\\slash.txt", "x");
  folder.Write("Readme.txt", "x");
  folder.Write("README.TXT", "x");
  folder.Write("Data/trailing.", "x");
  folder.Write("Latin-1 \xe9t\xe9.txt", "x");
  Diagnostics diagnostics;
  EXPECT_TRUE(CollectPayloadFiles(folder.Path(), folder.Path(), diagnostics).empty());
  const std::string text = diagnostics.Text();
  // The program's own rule, and names only UTF-8 can carry.
  EXPECT_NE(text.find("trailing.: payload name ends with a full stop"), std::string::npos) << text;
  EXPECT_NE(text.find(".txt: payload name is not valid UTF-8"), std::string::npos) << text;
  EXPECT_NE(text.find((folder.Path() / "a;b.txt").string() + ": payload name holds \";\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("slash.txt: payload name holds a backslash"), std::string::npos) << text;
  EXPECT_NE(text.find("only in case"), std::string::npos) << text;
}

TEST(PayloadFolder, LinkedFoldersAreFollowedAndDanglingLinksRefused) {
  TempFolder outside;
  outside.Write("shared/Redist.txt", "redist");
  TempFolder folder;
  folder.Write("Skyforge2.msi", "msi");
  std::filesystem::create_directory_symlink(outside.Path() / "shared", folder.Path() / "Redist");
  Diagnostics diagnostics;
  EXPECT_EQ(Names(CollectPayloadFiles(folder.Path(), folder.Path(), diagnostics)),
            (std::vector<std::string>{"Redist\\Redist.txt", "Skyforge2.msi"}));
  // What the link leads to is embedded, and named.
  EXPECT_NE(diagnostics.Text().find("Redist: warning: links to " + (outside.Path() / "shared").string() +
                                    ", outside the product folder"),
            std::string::npos)
      << diagnostics.Text();

  std::filesystem::create_symlink(folder.Path() / "gone.txt", folder.Path() / "link.txt");
  Diagnostics dangling;
  EXPECT_TRUE(CollectPayloadFiles(folder.Path(), folder.Path(), dangling).empty());
  EXPECT_NE(dangling.Text().find("link.txt: is not a regular file"), std::string::npos);
}

std::vector<PayloadFile> FilesOfSizes(
    std::initializer_list<std::pair<const char*, uint64_t>> entries) {
  std::vector<PayloadFile> files;
  for (const auto& [name, size] : entries) files.push_back({name, name, size});
  return files;
}

TEST(PayloadChecks, PackageMustBeAtTheRoot) {
  Diagnostics ok;
  CheckPayload(FilesOfSizes({{"skyforge2.MSI", 10}}), "Skyforge2.msi", "t: payload", ok);
  EXPECT_EQ(ok.Text(), "") << "Windows finds the package whatever the case";

  Diagnostics missing;
  CheckPayload(FilesOfSizes({{"Setup\\Skyforge2.msi", 10}}), "Skyforge2.msi", "t: payload",
               missing);
  EXPECT_EQ(missing.Text(),
            "t: payload: does not hold the package \"Skyforge2.msi\" at its root\n");

  Diagnostics nested;
  CheckPayload(FilesOfSizes({{"Setup\\Skyforge2.msi", 10}}), "Setup\\Skyforge2.msi", "t: payload",
               nested);
  EXPECT_TRUE(nested.HasErrors());
}

TEST(PayloadChecks, AnySizeButALimitedCount) {
  // Past 1 GiB the payload goes after the image: no size is refused.
  Diagnostics large;
  CheckPayload(FilesOfSizes({{"P.msi", 12ull << 30}, {"b", 5ull << 30}}), "P.msi", "t: payload",
               large);
  EXPECT_FALSE(large.HasErrors()) << large.Text();

  std::vector<PayloadFile> many(payload::kMaxFiles + 1, PayloadFile{"x", "x", 0});
  many[0].name = "P.msi";
  Diagnostics tooMany;
  CheckPayload(many, "P.msi", "t: payload", tooMany);
  EXPECT_NE(tooMany.Text().find("holds 62536 files; at most 62535"), std::string::npos);
}

}  // namespace
