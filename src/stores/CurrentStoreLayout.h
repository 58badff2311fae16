#pragma once

// Where Viber for iPhone keeps its history today and which tables and columns
// of that store we read and write. The store lives in the shared app-group
// container, persons are members with phone numbers, and a message points at
// its attachment. App versions rename and number things differently, so every
// name the current-layout reader and merger use is here and nowhere else: a
// changed name is one edit. Entity numbers are never assumed; they come from
// Z_PRIMARYKEY under the entity names below.
#include <QtGlobal>

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
inline constexpr char kPhoneNumberEntity[] = "PhoneNumber";
inline constexpr char kLocationEntity[] = "ViberLocation";
inline constexpr char kRecentEntity[] = "Recent";
inline constexpr char kRecentsLineEntity[] = "RecentsLine";

// Core Data's own columns: a row's entity number and its version (1 for a
// new row, raised when the row changes); Z_PRIMARYKEY.Z_MAX is the largest
// key handed out for a root entity.
inline constexpr char kEnt[] = "Z_ENT";
inline constexpr char kOpt[] = "Z_OPT";
inline constexpr char kUid[] = "ZUID";
namespace PrimaryKey {
inline constexpr char kTable[] = "Z_PRIMARYKEY";
inline constexpr char kEnt[] = "Z_ENT";
inline constexpr char kName[] = "Z_NAME";
inline constexpr char kSuper[] = "Z_SUPER";
inline constexpr char kMax[] = "Z_MAX";
} // namespace PrimaryKey

// Viber's message ids carry their send time: (token >> kTokenTimeShift) +
// kTokenEpochMs is the Unix time in milliseconds.
inline constexpr int kTokenTimeShift = 22;
inline constexpr qint64 kTokenEpochMs = 292057776050LL;

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
inline constexpr char kIsBlocked[] = "ZISBLOCKED";
inline constexpr char kIsSystem[] = "ZISSYSTEM";
inline constexpr char kIsActive[] = "ZISACTIVE";
} // namespace Member

namespace PhoneNumber {
inline constexpr char kTable[] = "ZPHONENUMBER";
inline constexpr char kMember[] = "ZMEMBER";
inline constexpr char kCanonical[] = "ZCANONIZEDPHONENUM";
inline constexpr char kPhone[] = "ZPHONE";
inline constexpr char kType[] = "ZPHONETYPE";
inline constexpr char kViberType[] = "Viber";
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
// The summary of the newest message, kept up to date by the app.
inline constexpr char kLastToken[] = "ZLASTMESSAGETOKEN";
inline constexpr char kMaxToken[] = "ZMAXTOKEN";
inline constexpr char kLastSender[] = "ZLASTMESSAGESENDER";
inline constexpr char kLastText[] = "ZLASTMESSAGETEXT";
inline constexpr char kLastType[] = "ZLASTMESSAGETYPE";
inline constexpr char kLastEmoticons[] = "ZLASTMESSAGEEMOTICONSRANGES";
inline constexpr char kUnreadCount[] = "ZUNREADCOUNT";
// Flags a new chat starts with at 0.
inline constexpr const char* kZeroFlags[] = {"ZBEINGDELETED", "ZISMUTED", "ZFAVORITE", "ZISUNREAD", "ZUNREADCOUNT",
                                             "ZCHATLISTTYPE", "ZISLOCATION"};
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
inline constexpr char kCallDuration[] = "ZCALLDURATION";
inline constexpr char kEmoticons[] = "ZEMOTICONSRANGES";
inline constexpr char kRanges[] = "ZRANGES";
inline constexpr char kMetadata[] = "ZMETADATA";
inline constexpr char kClientMetadata[] = "ZCLIENTMETADATA";
// The entity number of the message's conversation: "%1" is that of
// Conversation.
inline constexpr char kChatEntity[] = "Z%1_CONVERSATION";
// Integer columns a new message starts with at 0.
inline constexpr const char* kZeroFlags[] = {"ZBEINGDELETED", "ZMESSAGEID", "ZUSERFLAGS", "ZVISIBILITYFLAGS",
                                             "ZLIKESCOUNT", "ZFORWARDTYPE", "ZGALLERYTYPE"};
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
inline constexpr char kJoinAttachmentCol[] = "Z_%1ATTACHMENTS";
inline constexpr char kJoinOrderCol[] = "Z_FOK_%1ATTACHMENTS";
inline constexpr char kState[] = "ZSTATE";
inline constexpr char kUrl[] = "ZURL";
inline constexpr char kRange[] = "ZRANGE";
inline constexpr const char* kZeroFlags[] = {"ZCACHEPOLICY", "ZMEDIADOWNLOADTYPE", "ZGALLERYTYPE"};
} // namespace Attachment

namespace Location {
inline constexpr char kTable[] = "ZVIBERLOCATION";
inline constexpr char kMessage[] = "ZMESSAGE";
inline constexpr char kLatitude[] = "ZLATITUDE";
inline constexpr char kLongitude[] = "ZLONGITUDE";
inline constexpr char kAddress[] = "ZADDRESS";
inline constexpr char kDate[] = "ZDATE";
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
inline constexpr char kCount[] = "ZCOUNT";
inline constexpr char kDate[] = "ZDATE";
inline constexpr char kCallType[] = "ZCALLTYPE";
} // namespace RecentsLine

namespace Settings {
inline constexpr char kTable[] = "Data";
inline constexpr char kKey[] = "key";
inline constexpr char kValue[] = "value";
inline constexpr char kOwnerName[] = "_myUserName";
inline constexpr char kOwnerNumber[] = "_myPhoneNumber";
} // namespace Settings

} // namespace CurrentStore
