#include "resources/version_info.h"

#include <vector>

#include "pe/byte_writer.h"

namespace {

// One node of the version tree: wLength, wValueLength, wType, the key with
// its terminator, padding, the value, padding, then the children. Lengths
// are patched in once the node is complete.
struct VersionNode {
  WString key;
  bool textValue = false;
  WString text;  // when textValue
  Bytes binary;  // otherwise
  std::vector<VersionNode> children;
};

void WriteNode(const VersionNode& node, ByteWriter& out) {
  out.AlignTo4();
  const size_t start = out.Size();
  out.U16(0);  // wLength, patched below
  if (node.textValue) {
    // For text values the length counts UTF-16 units, terminator included.
    out.U16(static_cast<uint16_t>(node.text.empty() ? 0 : node.text.size() + 1));
  } else {
    out.U16(static_cast<uint16_t>(node.binary.size()));
  }
  out.U16(node.textValue ? 1 : 0);
  out.Text(node.key);
  out.U16(0);
  out.AlignTo4();
  if (node.textValue) {
    if (!node.text.empty()) {
      out.Text(node.text);
      out.U16(0);
    }
  } else {
    out.Append(node.binary);
  }
  for (const VersionNode& child : node.children) WriteNode(child, out);
  out.PatchU16(start, static_cast<uint16_t>(out.Size() - start));
}

VersionNode TextEntry(const char16_t* key, WString value) {
  VersionNode node;
  node.key = key;
  node.textValue = true;
  node.text = std::move(value);
  return node;
}

Bytes FixedFileInfo(const std::array<uint16_t, 4>& version) {
  const uint32_t high = (uint32_t{version[0]} << 16) | version[1];
  const uint32_t low = (uint32_t{version[2]} << 16) | version[3];
  ByteWriter fixed;
  fixed.U32(0xFEEF04BD);  // signature
  fixed.U32(0x00010000);  // structure version
  fixed.U32(high);        // file version
  fixed.U32(low);
  fixed.U32(high);  // product version
  fixed.U32(low);
  fixed.U32(0x3F);     // flags mask
  fixed.U32(0);        // flags
  fixed.U32(0x40004);  // VOS_NT_WINDOWS32
  fixed.U32(1);        // VFT_APP
  fixed.U32(0);        // subtype
  fixed.U32(0);        // date
  fixed.U32(0);
  return fixed.Take();
}

}  // namespace

Bytes EncodeVersionInfo(const VersionInfo& info) {
  VersionNode strings;
  strings.key = u"080904B0";  // English (United Kingdom), UTF-16
  strings.textValue = true;
  if (!info.company.empty()) strings.children.push_back(TextEntry(u"CompanyName", info.company));
  strings.children.push_back(TextEntry(u"FileDescription", info.productName));
  if (!info.versionText.empty())
    strings.children.push_back(TextEntry(u"FileVersion", info.versionText));
  strings.children.push_back(TextEntry(u"InternalName", info.fileName));
  strings.children.push_back(TextEntry(u"OriginalFilename", info.fileName));
  strings.children.push_back(TextEntry(u"ProductName", info.productName));
  if (!info.versionText.empty())
    strings.children.push_back(TextEntry(u"ProductVersion", info.versionText));

  VersionNode stringFileInfo;
  stringFileInfo.key = u"StringFileInfo";
  stringFileInfo.textValue = true;
  stringFileInfo.children.push_back(strings);

  VersionNode translation;
  translation.key = u"Translation";
  ByteWriter languageAndCodePage;
  languageAndCodePage.U16(kLanguageEnglishUk);
  languageAndCodePage.U16(1200);
  translation.binary = languageAndCodePage.Take();
  VersionNode varFileInfo;
  varFileInfo.key = u"VarFileInfo";
  varFileInfo.textValue = true;
  varFileInfo.children.push_back(translation);

  VersionNode root;
  root.key = u"VS_VERSION_INFO";
  root.binary = FixedFileInfo(info.version);
  root.children = {stringFileInfo, varFileInfo};

  ByteWriter out;
  WriteNode(root, out);
  return out.Take();
}
