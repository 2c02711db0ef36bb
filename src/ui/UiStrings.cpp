#include "ui/UiStrings.h"

#include <string_view>

namespace velkor::ui {
namespace {

// The leading space of the folder and file suffixes belongs to the text.
constexpr std::array<std::u16string_view, kUiStringCount> kEnglish{
    u"Name",
    u"Type",
    u"Size",
    u"Previous Layer",
    u" Folder",
    u" File",
    u"%s\nThe card was not used; nothing on the device has changed.",
    u"The device's keyring cannot be read.",
    u"The device's clock is not set, so the card's signature cannot be checked.",
    u"The card has no signed manifest.",
    u"The card's manifest is damaged.",
    u"The card's manifest is not signed.",
    u"The card's signature is damaged.",
    u"The card is not signed by a signer this device trusts.",
    u"The card's signing certificate has expired or is not valid yet.",
    u"The card's signing certificate has been revoked.",
    u"The device's revocation list has expired; the device needs a newer keyring.",
    u"The device's keyring has no revocation list for the card's signer.",
    u"The card's signing certificate may not sign updates.",
    u"The card's manifest was changed after it was signed.",
    u"The card is for another device.",
    u"The device's record of its installed version cannot be read.",
    u"The card holds an older version than the device has.",
    u"The card's version is installed already, from another card.",
    u"An image to write is not in the card's signed manifest.",
    u"An image on the card does not match the card's manifest.",
    u"The card's signature is weaker than this device accepts.",
    u"An image's name on the card matches more than one file.",
};
constexpr std::array<std::u16string_view, kUiStringCount> kChinese{
    u"名称",
    u"类型",
    u"大小",
    u"上一层",
    u" 文件夹",
    u" 文件",
    u"%s\n未使用此卡，设备没有任何改变。",
    u"无法读取设备的密钥环。",
    u"设备时钟未设置，无法验证此卡的签名。",
    u"此卡没有签名清单。",
    u"此卡的清单已损坏。",
    u"此卡的清单没有签名。",
    u"此卡的签名已损坏。",
    u"此卡的签名者不受本设备信任。",
    u"此卡的签名证书已过期或尚未生效。",
    u"此卡的签名证书已被吊销。",
    u"设备的证书吊销列表已过期，设备需要更新的密钥环。",
    u"设备的密钥环中没有此卡签名者的吊销列表。",
    u"此卡的签名证书不能用于签署升级。",
    u"此卡的清单在签名后被修改。",
    u"此卡不适用于本设备。",
    u"无法读取设备已安装版本的记录。",
    u"此卡的版本低于设备已安装的版本。",
    u"此卡的版本已由另一张卡安装。",
    u"要写入的映像不在此卡的签名清单中。",
    u"此卡上的映像与清单不符。",
    u"此卡的签名强度低于本设备的要求。",
    u"此卡上映像的名称对应不止一个文件。",
};

}  // namespace

UiStrings::UiStrings() {
    for (std::size_t index = 0; index < kUiStringCount; ++index) {
        entries_[index] = kEnglish[index];
    }
}

const std::u16string& UiStrings::operator[](UiStringId id) const { return entries_.at(static_cast<std::size_t>(id)); }

void UiStrings::UseChineseSet() {
    for (std::size_t index = 0; index < kUiStringCount; ++index) {
        entries_[index] = kChinese[index];
    }
}

}  // namespace velkor::ui
