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
    <message numerus="yes">
        <source>IDS_SUC_EXPORT_%1_MMS</source>
        <translation>
            <numerusform>Successfully exported %n message.</numerusform>
            <numerusform>Successfully exported %n messages.</numerusform>
        </translation>
    </message>
    <message>
        <source>IDS_EXPORT_VIBER_CALLS</source>
        <translation>Extracting call history...</translation>
    </message>
    <message numerus="yes">
        <source>IDS_SUC_EXPORT_%1_CALLS</source>
        <translation>
            <numerusform>Successfully extracted %n call.</numerusform>
            <numerusform>Successfully extracted %n calls.</numerusform>
        </translation>
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
        <source>IDS_READING_LOCALDB</source>
        <translation>Reading the messages…</translation>
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
    <message numerus="yes">
        <source>IDS_SUC_BACKUP_%1_MESSAGES</source>
        <translation>
            <numerusform>Successfully backed up %n message.</numerusform>
            <numerusform>Successfully backed up %n messages.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>IDS_%1_FILES_NOT_COPIED</source>
        <translation>
            <numerusform>%n attachment file could not be read and was not copied; the log names it.</numerusform>
            <numerusform>%n attachment files could not be read and were not copied; the log names them.</numerusform>
        </translation>
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
    <message numerus="yes">
        <source>IDS_SUC_DEL_%1_VIBER_MESSAGES</source>
        <translation>
            <numerusform>Successfully deleted %n message.</numerusform>
            <numerusform>Successfully deleted %n messages.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>IDS_%1_MESSAGES</source>
        <translation>
            <numerusform>%n message</numerusform>
            <numerusform>%n messages</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>IDS_%1_CALLS</source>
        <translation>
            <numerusform>%n call</numerusform>
            <numerusform>%n calls</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>IDS_LOADED_%1_ATTACHMENTS_SKIPPED</source>
        <translation>
            <numerusform>Loaded %1 successfully; %n attachment was skipped.</numerusform>
            <numerusform>Loaded %1 successfully; %n attachments were skipped.</numerusform>
        </translation>
    </message>
    <message>
        <source>IDS_SUC_TRANSFER_%1_MSGS_%2_CALLS_TO_%3</source>
        <translation>Successfully transferred %1 and %2 to %3.</translation>
    </message>
    <message>
        <source>IDS_RESTORE_BACKUP_TO_BRING_THEM_ONTO_AN_IPHONE</source>
        <translation>Restore the backup to bring them onto an iPhone.</translation>
    </message>
    <message>
        <source>IDS_TRANSFER_NOTHING_NEW_%1</source>
        <translation>Nothing was added: %1 already had all of these messages and calls.</translation>
    </message>
    <message>
        <source>IDS_IPHONE_NAMED_%1</source>
        <translation>the iPhone "%1"</translation>
    </message>
    <message>
        <source>IDS_THE_IPHONE</source>
        <translation>the iPhone</translation>
    </message>
    <message>
        <source>IDS_ITUNES_BACKUP_OF_%1</source>
        <translation>the iTunes backup of "%1"</translation>
    </message>
    <message>
        <source>IDS_ASK_VIBER_MESSAGES_ON_%1</source>
        <translation>Failed to load Viber messages from %1. Does it have any Viber messages?</translation>
    </message>
    <message>
        <source>IDS_FAILED_TO_LOAD_%1</source>
        <translation>Failed to load the Viber messages of %1.</translation>
    </message>
    <message>
        <source>IDS_IPHONE_LEFT_%1</source>
        <translation>The connection to %1 was lost; nothing was changed.</translation>
    </message>
    <message>
        <source>IDS_RESTORE_QUESTION_%1</source>
        <translation>Restore %1 from its backup now?&lt;br/&gt;&lt;br/&gt;Viber on this iPhone takes the messages only through a restore: they are written into the backup of the iPhone made a moment ago, and that backup is then put back onto the iPhone. &lt;b&gt;The iPhone restarts, and whatever changed on it since that backup is lost.&lt;/b&gt;&lt;br/&gt;&lt;br/&gt;Before you answer Yes: unlock the iPhone (enter its passcode if it asks), and turn off iCloud Backup and Find My iPhone (Settings, your name, Find My).</translation>
    </message>
    <message>
        <source>IDS_WITH_THIS_CONTACT</source>
        <translation>with this Contact</translation>
    </message>
    <message>
        <source>IDS_IN_THIS_CHAT</source>
        <translation>in this Chat</translation>
    </message>
    <message>
        <source>IDS_DEL_LOCALDB_SUC</source>
        <translation>Deleted the local database &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>IDS_ROOT_DEVICE</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>IDS_ROOT_LOCALDB</source>
        <translation>Local Databases</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_TOOLBAR</source>
        <translation>Backup Messages</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_ALL</source>
        <translation>Backup Messages</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_CHAT</source>
        <translation>Backup Messages %1</translation>
    </message>
    <message>
        <source>IDS_MI_BACKUP_SEL</source>
        <translation>Backup selected Messages</translation>
    </message>
    <message>
        <source>IDS_MI_I2I_TOOLBAR</source>
        <translation>Transfer Messages from iPhone to iPhone</translation>
    </message>
    <message>
        <source>IDS_MI_I2I_ALL</source>
        <translation>Transfer Messages to another iPhone</translation>
    </message>
    <message>
        <source>IDS_MI_I2I_CHAT</source>
        <translation>Transfer Messages %1 to another iPhone</translation>
    </message>
    <message>
        <source>IDS_MI_I2I_SEL</source>
        <translation>Transfer selected Messages to another iPhone</translation>
    </message>
    <message>
        <source>IDS_MI_DB2I_TOOLBAR</source>
        <translation>Transfer Messages from Database to iPhone</translation>
    </message>
    <message>
        <source>IDS_MI_DB2I_ALL</source>
        <translation>Transfer Messages to iPhone</translation>
    </message>
    <message>
        <source>IDS_MI_DB2I_CHAT</source>
        <translation>Transfer Messages %1 to iPhone</translation>
    </message>
    <message>
        <source>IDS_MI_DB2I_SEL</source>
        <translation>Transfer selected Messages to iPhone</translation>
    </message>
    <message>
        <source>IDS_MI_EXTRACT_MEDIA_TOOLBAR</source>
        <translation>Extract Attachments</translation>
    </message>
    <message>
        <source>IDS_MI_EXTRACT_MEDIA_All</source>
        <translation>Extract Messages Attachments</translation>
    </message>
    <message>
        <source>IDS_MI_EXTRACT_MEDIA_CHAT</source>
        <translation>Extract Attachments from Messages %1</translation>
    </message>
    <message>
        <source>IDS_MI_EXTRACT_MEDIA_SEL</source>
        <translation>Export Attachments from selected Messages</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_TOOLBAR</source>
        <translation>Export Messages to File</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_ALL</source>
        <translation>Export Messages to File</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_CHAT</source>
        <translation>Export Messages %1 to File</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_SEL</source>
        <translation>Export selected Messages to File</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_CALL_TOOLBAR</source>
        <translation>Extract Call Log</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_CALL_ALL</source>
        <translation>Extract Call Log</translation>
    </message>
    <message>
        <source>IDS_MI_EXPORT_CALL_CHAT</source>
        <translation>Extract Call Log %1</translation>
    </message>
    <message>
        <source>IDS_MI_PRINT_TOOLBAR</source>
        <translation>Print Messages</translation>
    </message>
    <message>
        <source>IDS_MI_PRINT_ALL</source>
        <translation>Print Messages</translation>
    </message>
    <message>
        <source>IDS_MI_PRINT_CHAT</source>
        <translation>Print Messages %1</translation>
    </message>
    <message>
        <source>IDS_MI_PRINT_SEL</source>
        <translation>Print selected Messages</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE_TOOLBAR</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE_ALL</source>
        <translation>Delete Database</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE_CHAT</source>
        <translation>Delete Messages %1</translation>
    </message>
    <message>
        <source>IDS_MI_DELETE_SEL</source>
        <translation>Delete selected Messages</translation>
    </message>
    <message>
        <source>IDS_MI_IMPORT_FROM_ITUNES</source>
        <translation>Import from iTunes Backup</translation>
    </message>
    <message>
        <source>IDS_MI_IMPORT_FROM_PC</source>
        <translation>Import Messages from Viber Desktop</translation>
    </message>
    <message>
        <source>IDS_MI_OPEN_DB_FOLDER</source>
        <translation>Open Database Folder</translation>
    </message>
    <message>
        <source>IDS_MI_EXIT</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>IDS_MI_CHECK_UPDATE</source>
        <translation>Check for Update</translation>
    </message>
    <message>
        <source>IDS_CLEAR_CACHE</source>
        <translation>Clear Cache files</translation>
    </message>
    <message>
        <source>IDS_MI_HELP</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>IDS_MI_FEEDBACK</source>
        <translation>Feedback and Support</translation>
    </message>
    <message>
        <source>IDS_MI_ABOUT</source>
        <translation>About</translation>
    </message>
    <message>
        <source>IDS_MI_UNMOUNT_DEVICE</source>
        <translation>Disconnect Device</translation>
    </message>
    <message>
        <source>IDS_SUC_CLEAR_CACHE</source>
        <translation>Successfully cleared cache files.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_CLEAR_CACHE_%1_%2</source>
        <translation>Delete the cache files?&lt;br/&gt;&lt;br/&gt;This deletes the copies of the iPhones' Viber data in %1 and the whole-device backups made to read them in %2. Reading an iPhone again then takes a new backup, which can take a long time.&lt;br/&gt;Your local databases are kept.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUNDCONTACT_KEYWORD_%0</source>
        <translation>Find no contact with keyword %1.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0</source>
        <translation>Find no Message with keyword %1.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUND_AND_MESSAGES</source>
        <translation>Can't find any Message.</translation>
    </message>
    <message numerus="yes">
        <source>IDS_CONFIRM_DEL_SEL_MESSAGES</source>
        <translation>
            <numerusform>Delete the %n selected message from the local database &quot;%1&quot;?</numerusform>
            <numerusform>Delete the %n selected messages from the local database &quot;%1&quot;?</numerusform>
        </translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_THIS_CHAT</source>
        <translation>Delete the messages of the chat &quot;%1&quot; from the local database &quot;%2&quot;?</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_THIS_LOCALDB</source>
        <translation>Delete the local database &quot;%1&quot; with all its messages? This cannot be undone.</translation>
    </message>
    <message>
        <source>IDS_BEFORE_RESTORE_VIBER_KILL_VIBER_FIRST</source>
        <translation>To transfer Viber messages to %1 successfully, please close Viber on it first and then click OK to continue.</translation>
    </message>
    <message>
        <source>IDS_LOADING_IOS_VIBER</source>
        <translation>Loading Viber Messages from iPhone...</translation>
    </message>
    <message>
        <source>IDS_NOT_INSTALL_VIBER_ERR_%1</source>
        <translation>Can't find Viber installed on iPhone. Error:%1.</translation>
    </message>
    <message>
        <source>IDS_RESTORING_VIBER_MSG_TO_IOS</source>
        <translation>Transferring messages to iPhone...</translation>
    </message>
    <message>
        <source>IDS_MERGING_VIBER_MESSAGES</source>
        <translation>Saving messages...</translation>
    </message>
    <message>
        <source>IDS_MERGING_VIBER_CALLS</source>
        <translation>Saving call history...</translation>
    </message>
    <message>
        <source>IDS_SAVING_VIBER_ATTACHMENTS</source>
        <translation>Saving attachments...</translation>
    </message>
    <message>
        <source>IDS_SEL_ONE_IOS_DEVICE</source>
        <translation>Please select an iPhone:</translation>
    </message>
    <message>
        <source>IDS_SEL_ONE_PC_VIBER_ACCOUNT</source>
        <translation>Please select a Viber Desktop account:</translation>
    </message>
    <message>
        <source>IDS_NO_PC_VIBER_ACCOUNT_IN_%1_CHOOSE</source>
        <translation>Can't find Viber Desktop data on your computer: no account folder with a viber.db in %1.&lt;br/&gt;&lt;br/&gt;Do you want to choose a viber.db file yourself (from another folder or copied from another computer)?</translation>
    </message>
    <message>
        <source>IDS_CHOOSE_PC_VIBER_DB</source>
        <translation>Choose the viber.db of a Viber Desktop account</translation>
    </message>
    <message>
        <source>IDS_NOT_A_PC_VIBER_DB_%1</source>
        <translation>%1 is not a file. Please choose the viber.db file of a Viber Desktop account.</translation>
    </message>
    <message>
        <source>IDS_SELECT_AN_ITUNES_BACKUP_TO_LOAD</source>
        <translation>Please select an iTunes Backup to load.</translation>
    </message>
    <message>
        <source>IDS_NO_BACKUP_LISTED_THERE_CLICK_&lt;a href=&quot;#&quot;&gt;Here&lt;/a&gt;_ADD</source>
        <translation>Can't find your iTunes Backup on the list? Please manually import it by clicking &lt;a href=&quot;#&quot;&gt;HERE&lt;/a&gt;.</translation>
    </message>
    <message>
        <source>IDS_NO_ITUNES_BACKUP_IN_%1_ADD</source>
        <translation>No iTunes or Finder backup was found in %1. Backups kept in another folder (or copied from another computer) can be added: &lt;a href=&quot;#&quot;&gt;Add a backup folder…&lt;/a&gt;</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SELECT_ONE_ITUNES_BACKUP</source>
        <translation>Need to select an iTunes Backup to continue.</translation>
    </message>
    <message>
        <source>IDS_LOAD_BK_EXISTS</source>
        <translation>This iTunes Backup has been listed on the left.</translation>
    </message>
    <message>
        <source>IDS_PLEASE_ENTER_PASSWORD_TO_LOAD_BACKUP</source>
        <translation>This iTunes Backup is encrypted. Please enter password:</translation>
    </message>
    <message>
        <source>IDS_ENTER_PASSWORD</source>
        <translation>Enter password</translation>
    </message>
    <message>
        <source>IDS_SAVE_ATTACHMENT</source>
        <translation>Save Attachment</translation>
    </message>
    <message>
        <source>IDS_SAVE_ATTACHMENT_SUC</source>
        <translation>Attachment saved successfully.</translation>
    </message>
    <message>
        <source>IDS_SAVE_ATTACHMENT_FILE_ERROR</source>
        <translation>Failed to save attachment.</translation>
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
    <message>
        <source>IDS_BROWSE</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>IDS_EXPORT</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>IDS_EXPORT_FILE</source>
        <translation>Save as:</translation>
    </message>
    <message>
        <source>IDS_EXPORT_FORMAT</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SINCE</source>
        <translation>From (included):</translation>
    </message>
    <message>
        <source>IDS_EXPORT_UNTIL</source>
        <translation>Until (excluded):</translation>
    </message>
    <message>
        <source>IDS_EXPORT_PAGE_SIZE</source>
        <translation>Messages per HTML page:</translation>
    </message>
    <message>
        <source>IDS_EXPORT_NO_PAGE_LIMIT</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source>IDS_EXPORT_DATE_PLACEHOLDER</source>
        <translation>yyyy-MM-dd or yyyy-MM-dd hh:mm (local time)</translation>
    </message>
    <message>
        <source>IDS_EXPORT_PATH_REQUIRED</source>
        <translation>Please enter the name of the file to export to.</translation>
    </message>
    <message>
        <source>IDS_EXPORT_BAD_DATE_%1_%2</source>
        <translation>&quot;%1&quot; is not a date: %2</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SINCE_NOT_BEFORE_UNTIL</source>
        <translation>The start of the date range must be earlier than its end.</translation>
    </message>
    <message>
        <source>IDS_LOCALDB_NAME_AMBIGUOUS_%1</source>
        <translation>This name matches several databases (%1). Please choose one of them exactly.</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SELECT_ONE_SOURCE</source>
        <translation>Please select one entry of the list.</translation>
    </message>
    <message>
        <source>IDS_EXPORT_DATE_TIP</source>
        <translation>A date (2014-04-24) or a date and time in local time (2014-04-24 07:45 or 2014-04-24 07:45:57). Leave it empty for no limit.</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SINCE_LAST</source>
        <translation>Add only messages newer than the last export to this place</translation>
    </message>
    <message>
        <source>IDS_WELCOME_TITLE</source>
        <translation>No Viber history here yet</translation>
    </message>
    <message>
        <source>IDS_WELCOME_ATTACH_IPHONE</source>
        <translation>Attach your iPhone with its USB cable and unlock it: it appears under "Devices" and its Viber history is read at once. Or bring in a history kept on this computer:</translation>
    </message>
    <message>
        <source>IDS_WELCOME_IMPORT_BACKUP</source>
        <translation>Import from an iTunes or Finder backup…</translation>
    </message>
    <message>
        <source>IDS_WELCOME_IMPORT_DESKTOP</source>
        <translation>Import from Viber Desktop…</translation>
    </message>
    <message>
        <source>IDS_WELCOME_OPEN_DEMO</source>
        <translation>Look around in a demo history</translation>
    </message>
    <message>
        <source>IDS_EXPORT_KEEP_EMOJI</source>
        <translation>Write emoji as they are (text and CSV)</translation>
    </message>
    <message>
        <source>IDS_EXPORT_KEEP_EMOJI_TIP</source>
        <translation>Text and CSV files write each emoji as [EMOJI] unless this is checked; then every text is written as its sender wrote it.</translation>
    </message>
    <message>
        <source>IDS_NO_MESSAGES_CHOSEN</source>
        <translation>There are no messages to work on. Select messages, a chat or a source first.</translation>
    </message>
    <message>
        <source>IDS_NO_CALLS_CHOSEN</source>
        <translation>There is no call history among these messages.</translation>
    </message>
    <message>
        <source>IDS_SEL_EXPORT_CALLS_PATH</source>
        <translation>Please select Save Path for call history.</translation>
    </message>
    <message>
        <source>IDS_MENU_FILE</source>
        <translation>File</translation>
    </message>
    <message>
        <source>IDS_MENU_TOOLS</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>IDS_MENU_HELP</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>IDS_TOOLBAR_MAIN</source>
        <translation>Main</translation>
    </message>
    <message>
        <source>IDS_BAR_BACKUP</source>
        <translation>Backup
Messages</translation>
    </message>
    <message>
        <source>IDS_BAR_I2I</source>
        <translation>iPhone to
iPhone</translation>
    </message>
    <message>
        <source>IDS_BAR_DB2I</source>
        <translation>Database
to iPhone</translation>
    </message>
    <message>
        <source>IDS_BAR_IMPORT_ITUNES</source>
        <translation>Import iTunes
Backup</translation>
    </message>
    <message>
        <source>IDS_BAR_EXTRACT_MEDIA</source>
        <translation>Extract
Attachments</translation>
    </message>
    <message>
        <source>IDS_BAR_EXPORT</source>
        <translation>Export
Messages</translation>
    </message>
    <message>
        <source>IDS_BAR_EXPORT_CALLS</source>
        <translation>Extract
Call Log</translation>
    </message>
    <message>
        <source>IDS_BAR_PRINT</source>
        <translation>Print
Messages</translation>
    </message>
    <message>
        <source>IDS_BAR_DELETE</source>
        <translation>Delete
</translation>
    </message>
    <message>
        <source>IDS_MI_VIEW_CACHE_FILES</source>
        <translation>View Cache Files</translation>
    </message>
    <message>
        <source>IDS_MI_TO_ITUNES_BACKUP_SEL</source>
        <translation>Export selected Messages to iTunes Backup</translation>
    </message>
    <message>
        <source>IDS_MI_TO_ITUNES_BACKUP_CHAT</source>
        <translation>Export Messages %1 to iTunes Backup</translation>
    </message>
    <message>
        <source>IDS_MI_TO_ITUNES_BACKUP_ALL</source>
        <translation>Export Messages to iTunes Backup</translation>
    </message>
    <message>
        <source>IDS_SEARCH_CHATS</source>
        <translation>Search chats</translation>
    </message>
    <message>
        <source>IDS_SEARCH_MESSAGES</source>
        <translation>Search messages</translation>
    </message>
    <message>
        <source>IDS_MESSAGE_COUNT_%1</source>
        <translation>Messages: %1</translation>
    </message>
    <message>
        <source>IDS_ALL_CHATS</source>
        <translation>All</translation>
    </message>
    <message>
        <source>IDS_DEVICE_CONNECTED_%1</source>
        <translation>%1 connected.</translation>
    </message>
    <message>
        <source>IDS_PAGE_UPDATE</source>
        <translation>The update page</translation>
    </message>
    <message>
        <source>IDS_PAGE_HELP</source>
        <translation>The help page</translation>
    </message>
    <message>
        <source>IDS_PAGE_SUPPORT</source>
        <translation>The support page</translation>
    </message>
    <message>
        <source>IDS_NO_WEB_HOST_%1</source>
        <translation>%1 cannot be opened: this build of the program names no web server.</translation>
    </message>
    <message>
        <source>IDS_ABOUT_%1_%2_%3</source>
        <translation>&lt;b&gt;%1&lt;/b&gt;&lt;br/&gt;Version %2 (build %3)&lt;br/&gt;&lt;br/&gt;Reads, exports and keeps your Viber history.</translation>
    </message>
    <message>
        <source>IDS_NEW_VERSION_%1</source>
        <translation>A new version of %1 is available. Would you like to download it now?</translation>
    </message>
    <message>
        <source>IDS_NO_VIBER_MESSAGES_ON_%1_USE_DESKTOP</source>
        <translation>Can't load Viber Messages from %1. If you are using Viber Desktop on your computer, you can click &quot;File&quot; -&gt; &quot;Import Messages from Viber Desktop&quot; on the software to load messages from Viber Desktop.&lt;br/&gt;&lt;br/&gt; Note: Transferring messages to your iPhone may erase your current Viber messages.</translation>
    </message>
    <message>
        <source>IDS_NOW_TRANSFER_TO_%1</source>
        <translation>Now you can transfer messages to %1.&lt;br/&gt;&lt;br/&gt;Note: Please make sure you have installed and verified Viber on it before transferring messages.</translation>
    </message>
    <message>
        <source>IDS_CONNECT_TARGET_IPHONE</source>
        <translation>Please connect the iPhone to transfer the messages to.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FIND_%1</source>
        <translation>can not find %1.</translation>
    </message>
    <message>
        <source>IDS_NO_LOCALDB_NAMED_%1</source>
        <translation>No local database named &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>IDS_LOAD_BACKUP_%1_FAILED_%2</source>
        <translation>load %1 error. %2</translation>
    </message>
    <message>
        <source>IDS_INVALID_SQLITE_LAYER</source>
        <translation>invalid libsqlite_qt.</translation>
    </message>
    <message>
        <source>IDS_OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>IDS_CONFIRM</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>IDS_LOAD</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>IDS_SELECT_LOCALDB_TITLE</source>
        <translation>Select one Database for backup</translation>
    </message>
    <message>
        <source>IDS_SELECT_LOCALDB_OR_NAME_NEW</source>
        <translation>Select current database to merge or enter a new database name:</translation>
    </message>
    <message>
        <source>IDS_SELECT_LOCALDB_TIP</source>
        <translation>Selecting current Database will merge data;entering new DB name will create a new Database.</translation>
    </message>
    <message>
        <source>IDS_FLAG_TO</source>
        <translation>To</translation>
    </message>
    <message>
        <source>IDS_FLAG_FROM</source>
        <translation>From</translation>
    </message>
    <message>
        <source>IDS_CONTACT_CALL</source>
        <translation>&lt;Call&gt;</translation>
    </message>
    <message>
        <source>IDS_CONTACT_SYSTEM</source>
        <translation>&lt;System&gt;</translation>
    </message>
    <message>
        <source>IDS_COL_DATE</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>IDS_COL_FLAG</source>
        <translation>Flag</translation>
    </message>
    <message>
        <source>IDS_COL_CONTACT</source>
        <translation>Contact</translation>
    </message>
    <message>
        <source>IDS_COL_CONTENT</source>
        <translation>Content</translation>
    </message>
    <message>
        <source>IDS_COL_NAME</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>IDS_COL_BACKUP_DATE</source>
        <translation>Backup Date</translation>
    </message>
    <message>
        <source>IDS_COL_PATH</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>IDS_ERROR_OCCURRED_%1</source>
        <translation>An Error Occurred. &lt;br/&gt;&lt;br/&gt;%1&lt;br/&gt;&lt;br/&gt;If this keeps happening, please contact Tellurine support and attach the log files (the &quot;qlogs&quot; folder of the data folder).</translation>
    </message>
    <message>
        <source>IDS_FILTER_PC_VIBER_DB</source>
        <translation>Viber Desktop (viber.db);;SQLite databases (*.db);;All files (*)</translation>
    </message>
    <message>
        <source>IDS_CANNOT_MAKE_TEMP_FOLDER_%1</source>
        <translation>Cannot make a temporary folder: %1</translation>
    </message>
    <message>
        <source>IDS_FILTER_TXT</source>
        <translation>Text Files(*.txt)</translation>
    </message>
    <message>
        <source>IDS_FILTER_DOC</source>
        <translation>Doc Files(*.doc)</translation>
    </message>
    <message>
        <source>IDS_FILTER_CSV</source>
        <translation>CSV Files(*.csv)</translation>
    </message>
    <message>
        <source>IDS_FILTER_PDF</source>
        <translation>PDF Files(*.pdf)</translation>
    </message>
    <message>
        <source>IDS_FILTER_HTML</source>
        <translation>HTML Files(*.html)</translation>
    </message>
    <message>
        <source>IDS_FILTER_JSON</source>
        <translation>JSON Files(*.json)</translation>
    </message>
</context>
</TS>
