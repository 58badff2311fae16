#pragma once

// Where Viber for iPhone keeps its history today and which tables and columns
// of that store we read. The store lives in the shared app-group container,
// persons are members with phone numbers, and a message points at its
// attachment. App versions rename and number things differently, so every
// name the current-layout reader uses is here and nowhere else: a changed
// name is one edit. Entity numbers are never assumed; they come from
// Z_PRIMARYKEY under the entity names below.
namespace CurrentStore {

// Places, relative to the group container (the folder holding com.viber/).
inline constexpr char kGroupContainerName[] = "group.viber.share.container";
inline constexpr char kStoreFile[] = "com.viber/database/Contacts.data";
inline constexpr char kSettingsFile[] = "com.viber/settings/Settings.data";
inline constexpr char kIconsFolder[] = "com.viber/ViberIcons";
// The same places seen from the store's own folder (com.viber/database).
inline constexpr char kSettingsFromStoreDir[] = "../settings/Settings.data";
inline constexpr char kIconsFromStoreDir[] = "../ViberIcons";
// Folder names of an unpacked backup: both containers side by side.
inline constexpr char kUnpackedAppFolder[] = "AppDomain-com.viber";
inline constexpr char kUnpackedGroupFolder[] = "AppDomainGroup-group.viber.share.container";
// The group inside the backup tree ("AppDomainGroup-<group>" becomes
// "AppDomainGroup/<group>").
inline constexpr char kBackupGroupTop[] = "AppDomainGroup";

// Entity names in Z_PRIMARYKEY.
inline constexpr char kConversationEntity[] = "Conversation";
inline constexpr char kMemberEntity[] = "Member";
inline constexpr char kAttachmentEntity[] = "Attachment";
inline constexpr char kMessageEntity[] = "ViberMessage";

// A store with this table and without the old one is of the current layout.
inline constexpr char kMemberTable[] = "ZMEMBER";
inline constexpr char kOldPersonTable[] = "ZPHONENUMBERINDEX";

// Marks a row the app is about to delete: such rows are left out.
inline constexpr char kBeingDeleted[] = "ZBEINGDELETED";
inline constexpr char kPk[] = "Z_PK";

namespace Member {
inline constexpr char kTable[] = "ZMEMBER";
inline constexpr char kFullName[] = "ZDISPLAYFULLNAME";
inline constexpr char kName[] = "ZNAME";
inline constexpr char kShortName[] = "ZDISPLAYSHORTNAME";
inline constexpr char kIconId[] = "ZICONID";
inline constexpr char kMemberId[] = "ZMEMBERID";
} // namespace Member

namespace PhoneNumber {
inline constexpr char kTable[] = "ZPHONENUMBER";
inline constexpr char kMember[] = "ZMEMBER";
inline constexpr char kCanonical[] = "ZCANONIZEDPHONENUM";
inline constexpr char kPhone[] = "ZPHONE";
} // namespace PhoneNumber

namespace AddressBook {
inline constexpr char kContactTable[] = "ZABCONTACT";
inline constexpr char kMainName[] = "ZMAINNAME";
inline constexpr char kNumberTable[] = "ZABCONTACTNUMBER";
inline constexpr char kContact[] = "ZCONTACT";
inline constexpr char kCanonical[] = "ZCANONIZEDPHONENUM";
inline constexpr char kPhone[] = "ZPHONE";
} // namespace AddressBook

namespace Chat {
inline constexpr char kTable[] = "ZCONVERSATION";
inline constexpr char kDate[] = "ZDATE";
inline constexpr char kGroupId[] = "ZGROUPID";
inline constexpr char kName[] = "ZNAME";
inline constexpr char kInterlocutor[] = "ZINTERLOCUTOR";
// The members join table keeps its old relationship name: "%1" is the
// entity number of the conversation, "%2" that of the member.
inline constexpr char kJoinTable[] = "Z_%1PHONENUMINDEXES";
inline constexpr char kJoinChatCol[] = "Z_%1CONVERSATIONS";
inline constexpr char kJoinMemberCol[] = "Z_%2PHONENUMINDEXES";
} // namespace Chat

namespace Message {
inline constexpr char kTable[] = "ZVIBERMESSAGE";
inline constexpr char kChat[] = "ZCONVERSATION";
inline constexpr char kSender[] = "ZPHONENUMINDEX";
inline constexpr char kState[] = "ZSTATE";
inline constexpr char kDate[] = "ZDATE";
inline constexpr char kStateDate[] = "ZSTATEDATE";
inline constexpr char kSystemType[] = "ZSYSTEMTYPE";
inline constexpr char kText[] = "ZTEXT";
inline constexpr char kToken[] = "ZTOKEN";
inline constexpr char kSeq[] = "ZSEQ";
inline constexpr char kAttachment[] = "ZATTACHMENT";
inline constexpr char kLocation[] = "ZLOCATION";
inline constexpr char kCallType[] = "ZCALLTYPE";
} // namespace Message

namespace Attachment {
inline constexpr char kTable[] = "ZATTACHMENT";
inline constexpr char kName[] = "ZNAME";
inline constexpr char kFileName[] = "ZFILENAME";
inline constexpr char kType[] = "ZTYPE";
inline constexpr char kFileSize[] = "ZFILESIZE";
inline constexpr char kMediaId[] = "ZID";
inline constexpr char kBucket[] = "ZBUCKET";
inline constexpr char kDuration[] = "ZDURATION";
inline constexpr char kSeq[] = "ZSEQ";
// The optional join table of attachment and message: "%1" the attachment's
// entity number, "%2" the message's.
inline constexpr char kJoinTable[] = "Z_%1MESSAGES";
inline constexpr char kJoinMessageCol[] = "Z_%2MESSAGES";
} // namespace Attachment

namespace Location {
inline constexpr char kTable[] = "ZVIBERLOCATION";
inline constexpr char kMessage[] = "ZMESSAGE";
inline constexpr char kLatitude[] = "ZLATITUDE";
inline constexpr char kLongitude[] = "ZLONGITUDE";
inline constexpr char kAddress[] = "ZADDRESS";
} // namespace Location

namespace Recent {
inline constexpr char kTable[] = "ZRECENT";
inline constexpr char kToken[] = "ZCALLTOKEN";
inline constexpr char kDuration[] = "ZDURATION";
inline constexpr char kCallMessage[] = "ZCALLLOGMESSAGE";
inline constexpr char kLine[] = "ZRECENTSLINE";
inline constexpr char kDate[] = "ZDATE";
inline constexpr char kCallType[] = "ZCALLTYPE";
inline constexpr char kVideoWord[] = "video";
} // namespace Recent

namespace RecentsLine {
inline constexpr char kTable[] = "ZRECENTSLINE";
inline constexpr char kMember[] = "ZPHONENUMINDEX";
inline constexpr char kNumber[] = "ZPHONENUMBER";
} // namespace RecentsLine

namespace Settings {
inline constexpr char kTable[] = "Data";
inline constexpr char kKey[] = "key";
inline constexpr char kValue[] = "value";
inline constexpr char kOwnerName[] = "_myUserName";
inline constexpr char kOwnerNumber[] = "_myPhoneNumber";
} // namespace Settings

} // namespace CurrentStore
