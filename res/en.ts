<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ferrowick</name>
    <message>
        <source>IDS_NONE_INSTALL_ITUNES</source>
        <translation>Failed to load (Apple Mobile Device) framework.</translation>
    </message>
    <message>
        <source>IDS_CANCEL</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>IDS_PROGRESS_PERCENT</source>
        <translation>Progress:%1%</translation>
    </message>
    <message>
        <source>IDS_SEL_EXPORT_MESSAGES_PATH</source>
        <translation>Please select Save Path for messages.</translation>
    </message>
    <message>
        <source>IDS_EXPORTING_MESSAGES_TO_FILE</source>
        <translation>Exporting Messages...</translation>
    </message>
    <message>
        <source>IDS_SUC_EXPORT_%1_MMS</source>
        <translation>Successfully exported %1 Messages.</translation>
    </message>
    <message>
        <source>IDS_EXPORT_VIBER_CALLS</source>
        <translation>Extracting call history...</translation>
    </message>
    <message>
        <source>IDS_SUC_EXPORT_%1_CALLS</source>
        <translation>Successfully extracted %1 call history.</translation>
    </message>
    <message>
        <source>IDS_TITLE_SEL_OUTPUT_FOLDER_EXTRACT_MEDIA_FILES</source>
        <translation>Please select Save Path for media files.</translation>
    </message>
    <message>
        <source>IDS_EXTRACTING_MEDIA_FILES</source>
        <translation>Extracting attachments...</translation>
    </message>
    <message>
        <source>IDS_SUC_EXTRACT_MEDIA_FILES_TO_%1</source>
        <translation>Successfully extracted attachments to %1.</translation>
    </message>
    <message>
        <source>IDS_PRINT_MESSAGES</source>
        <translation>Print Messages</translation>
    </message>
    <message>
        <source>IDS_LOADING_ITUNES_BACKUP</source>
        <translation>Loading data from iTunes Backup...</translation>
    </message>
    <message>
        <source>IDS_UNLOCKING_BACKUP</source>
        <translation>Unlocking the backup…</translation>
    </message>
    <message>
        <source>IDS_CACHING_BACKUP_FILE_%1</source>
        <translation>Loading %1...</translation>
    </message>
    <message>
        <source>IDS_NOT_CONTAIN_VIBER_DATA_IN_ITUNES_BACKUP</source>
        <translation>Found no Viber data in your iTunes Backup.</translation>
    </message>
    <message>
        <source>IDS_INVALID_PASSWORD</source>
        <translation>Invalid password.</translation>
    </message>
    <message>
        <source>IDS_PWD_IS_NULL</source>
        <translation>Password is required.</translation>
    </message>
    <message>
        <source>IDS_BACKING_UP_VIBER_MESSAGES</source>
        <translation>Backing up Viber messages...</translation>
    </message>
    <message>
        <source>IDS_SUC_BACKUP_%1_MESSAGES</source>
        <translation>Successfully backed up %1 messages.</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SELECT_DATABASE_OR_INPUT_NEW_NAME</source>
        <translation>Select one Database or enter a new Database name</translation>
    </message>
    <message>
        <source>IDS_INVALID_LOCALDB_NAME</source>
        <translation>Invalid Local Database name(can&apos;t contain \ / : * ? &quot; &lt; &gt; |).</translation>
    </message>
    <message>
        <source>IDS_DELETING_VIBER_MESSAGES</source>
        <translation>Deleting messages...</translation>
    </message>
    <message>
        <source>IDS_SUC_DEL_%1_VIBER_MESSAGES</source>
        <translation>Successfully deleted %1 messages.</translation>
    </message>
    <message>
        <source>IDS_DEL_LOCALDB_SUC</source>
        <translation>Successfully deleted database.</translation>
    </message>
    <message>
        <source>IDS_IOS_TRUST_TIP</source>
        <translation>Please restart your iPhone and computer to try again. If a prompt message pops out on your iPhone, please click &quot;Trust&quot;.</translation>
    </message>
    <message>
        <source>IDS_IOS_WIFI_SYNC_TIP</source>
        <translation>Please turn off Wifi Sync on iTunes or disconnect computer internet connections to try again.</translation>
    </message>
    <message>
        <source>IDS_LOADING_FILE_%1_%2_%3</source>
        <translation>Loading %1, %L2KB / %L3KB</translation>
    </message>
    <message>
        <source>IDS_SENDING_FILE_%1</source>
        <translation>Sending %1</translation>
    </message>
    <message>
        <source>IDS_SENDING_FILE_%1_%2_%3</source>
        <translation>Sending %1, %L2KB / %L3KB</translation>
    </message>
</context>
</TS>
