<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
<context>
    <name>CExplorerListView</name>
    <message>
        <source>Files</source>
        <translation>檔案</translation>
    </message>
</context>
<context>
    <name>CExplorerTreeView</name>
    <message>
        <source>Folders</source>
        <translation>資料夾</translation>
    </message>
</context>
<context>
    <name>CTransferApp</name>
    <message>
        <source>Loading Data Base Failed!</source>
        <translation>資料庫載入失敗！</translation>
    </message>
    <message>
        <source>Quorvelle Network Transfer System</source>
        <translation>Quorvelle 網路傳輸系統</translation>
    </message>
</context>
<context>
    <name>CTransferDlg</name>
    <message>
        <source>Quorvelle Network Transfer System</source>
        <translation>Quorvelle 網路傳輸系統</translation>
    </message>
    <message>
        <source>Prompting</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>System Open Time:</source>
        <translation>系統啟動時間：</translation>
    </message>
    <message>
        <source>Transfer Parameter(&amp;T)</source>
        <translation>傳輸參數(&amp;T)</translation>
    </message>
    <message>
        <source>Machine Information(&amp;M)</source>
        <translation>機台資訊(&amp;M)</translation>
    </message>
    <message>
        <source>File Path(&amp;P)</source>
        <translation>檔案路徑(&amp;P)</translation>
    </message>
    <message>
        <source>User Management(&amp;U)</source>
        <translation>使用者管理(&amp;U)</translation>
    </message>
    <message>
        <source>Modify Password(&amp;C)</source>
        <translation>變更密碼(&amp;C)</translation>
    </message>
    <message>
        <source>Log On/Out(&amp;L)</source>
        <translation>登入/登出(&amp;L)</translation>
    </message>
    <message>
        <source>Soft Note(&amp;N)</source>
        <translation>操作日誌(&amp;N)</translation>
    </message>
    <message>
        <source>Exit System(&amp;X)</source>
        <translation>結束系統(&amp;X)</translation>
    </message>
    <message>
        <source>Select File(&amp;F)</source>
        <translation>選擇檔案(&amp;F)</translation>
    </message>
    <message>
        <source>Switch Channel(&amp;N)</source>
        <translation>切換通道(&amp;N)</translation>
    </message>
    <message>
        <source>Send File(&amp;S)</source>
        <translation>傳送檔案(&amp;S)</translation>
    </message>
    <message>
        <source>Delete File(&amp;D)</source>
        <translation>刪除檔案(&amp;D)</translation>
    </message>
    <message>
        <source>Clear File(&amp;E)</source>
        <translation>清除檔案(&amp;E)</translation>
    </message>
    <message>
        <source>Query Node(&amp;Q)</source>
        <translation>查詢節點(&amp;Q)</translation>
    </message>
    <message>
        <source>Cancel Task(&amp;C)</source>
        <translation>取消任務(&amp;C)</translation>
    </message>
    <message>
        <source>Select All(&amp;A)</source>
        <translation>全部勾選(&amp;A)</translation>
    </message>
    <message>
        <source>Select Part(&amp;P)</source>
        <translation>勾選選取列(&amp;P)</translation>
    </message>
    <message>
        <source>Select Other(&amp;I)</source>
        <translation>反向勾選(&amp;I)</translation>
    </message>
    <message>
        <source>Cancel All(&amp;C)</source>
        <translation>全部取消勾選(&amp;C)</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>新增</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>View File(&amp;V)</source>
        <translation>瀏覽檔案(&amp;V)</translation>
    </message>
    <message>
        <source>Edition Information(&amp;I)</source>
        <translation>版本資訊(&amp;I)</translation>
    </message>
    <message>
        <source>How to Use(&amp;U)</source>
        <translation>使用說明(&amp;U)</translation>
    </message>
    <message>
        <source>View File</source>
        <translation>瀏覽檔案</translation>
    </message>
    <message>
        <source>Switch Chinnal</source>
        <translation>切換通道</translation>
    </message>
    <message>
        <source>Query Node</source>
        <translation>查詢節點</translation>
    </message>
    <message>
        <source>Send File</source>
        <translation>傳送檔案</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>刪除檔案</translation>
    </message>
    <message>
        <source>Clear File</source>
        <translation>清除檔案</translation>
    </message>
    <message>
        <source>Cancel Task</source>
        <translation>取消任務</translation>
    </message>
    <message>
        <source>Select Part/n Select Part</source>
        <translation>勾選選取列</translation>
    </message>
    <message>
        <source>Cancel Select All</source>
        <translation>全部取消勾選</translation>
    </message>
    <message>
        <source>Add Select File</source>
        <translation>新增檔案</translation>
    </message>
    <message>
        <source>Log On/Out </source>
        <translation>登入/登出</translation>
    </message>
    <message>
        <source>Version Information</source>
        <translation>版本資訊</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>結束</translation>
    </message>
    <message>
        <source>&amp;System</source>
        <translation>系統(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Transfer</source>
        <translation>傳輸(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Operation</source>
        <translation>操作(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>說明(&amp;H)</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>工具列</translation>
    </message>
    <message>
        <source>Channel One Success, Channel Two Error</source>
        <translation>通道一成功，通道二失敗</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>節點</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Machine</source>
        <translation>機台</translation>
    </message>
    <message>
        <source>Task Num</source>
        <translation>任務數</translation>
    </message>
    <message>
        <source>Current Task</source>
        <translation>目前任務</translation>
    </message>
    <message>
        <source>Rate</source>
        <translation>進度</translation>
    </message>
    <message>
        <source>File Num</source>
        <translation>檔案數</translation>
    </message>
    <message>
        <source>Space Room</source>
        <translation>剩餘空間</translation>
    </message>
    <message>
        <source>Transfer Information</source>
        <translation>傳輸資訊</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>序號</translation>
    </message>
    <message>
        <source>FileName</source>
        <translation>檔名</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>群組編號</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路徑</translation>
    </message>
    <message>
        <source>Sum Size</source>
        <translation>總大小</translation>
    </message>
    <message>
        <source>Nodes</source>
        <translation>節點清單</translation>
    </message>
    <message>
        <source>Node Files</source>
        <translation>節點檔案</translation>
    </message>
    <message>
        <source>Group Files</source>
        <translation>群組檔案</translation>
    </message>
    <message>
        <source>File Groups</source>
        <translation>檔案群組</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全部勾選</translation>
    </message>
    <message>
        <source>Select Part</source>
        <translation>勾選選取列</translation>
    </message>
    <message>
        <source>Select Other</source>
        <translation>反向勾選</translation>
    </message>
    <message>
        <source>Cancel All</source>
        <translation>全部取消勾選</translation>
    </message>
    <message>
        <source>Transfer</source>
        <translation>傳輸</translation>
    </message>
    <message>
        <source>FileList</source>
        <translation>檔案清單</translation>
    </message>
    <message>
        <source>Add File</source>
        <translation>新增檔案</translation>
    </message>
    <message>
        <source>FileGroup</source>
        <translation>檔案群組</translation>
    </message>
    <message>
        <source>FilesGroup</source>
        <translation>檔案群組清單</translation>
    </message>
    <message>
        <source>Task Bar</source>
        <translation>工作列</translation>
    </message>
    <message>
        <source>Exit System</source>
        <translation>結束系統</translation>
    </message>
    <message>
        <source>These files were left out:
%1</source>
        <translation>以下檔案未加入：
%1</translation>
    </message>
    <message>
        <source>All File</source>
        <translation>所有檔案</translation>
    </message>
    <message>
        <source>Nothing was done: the event log cannot be written.
%1</source>
        <translation>未執行任何操作：操作日誌無法寫入。
%1</translation>
    </message>
    <message>
        <source>Nothing was done: writing the event log failed.</source>
        <translation>未執行任何操作：寫入操作日誌失敗。</translation>
    </message>
    <message>
        <source>Nothing was done: the channel takes no tasks.</source>
        <translation>未執行任何操作：此通道不接受任務。</translation>
    </message>
    <message>
        <source>Please Select File Group First!</source>
        <translation>請先選擇檔案群組！</translation>
    </message>
    <message>
        <source>System Write Error!</source>
        <translation>系統寫入錯誤！</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>選擇檔案</translation>
    </message>
    <message>
        <source>Please Choose The Node in List!</source>
        <translation>請在清單中選擇節點！</translation>
    </message>
    <message>
        <source>The checked groups hold %1 files to send; a machine holds at most %2. Nothing was sent.</source>
        <translation>勾選的檔案群組共有 %1 個檔案要傳送，而一台機台最多存放 %2 個檔案。未傳送任何檔案。</translation>
    </message>
    <message>
        <source>No file of the checked groups can be sent:
%1</source>
        <translation>勾選的檔案群組中沒有可傳送的檔案：
%1</translation>
    </message>
    <message numerus="yes">
        <source>These files are left out:
%1

Send the other %n file(s)?</source>
        <translation>
            <numerusform>以下檔案未加入：
%1

要傳送其餘 %n 個檔案嗎？</numerusform>
        </translation>
    </message>
    <message>
        <source>Do  you delete the files in the node?</source>
        <translation>確定要刪除節點中的檔案嗎？</translation>
    </message>
    <message>
        <source>About Quorvelle Network Transfer System</source>
        <translation>關於 Quorvelle 網路傳輸系統</translation>
    </message>
    <message>
        <source>Version 2.0</source>
        <translation>版本 2.0</translation>
    </message>
    <message>
        <source>The help file %1 is missing.</source>
        <translation>找不到說明檔 %1。</translation>
    </message>
    <message>
        <source>Nothing on this computer could open the help file %1.</source>
        <translation>這台電腦上沒有可以開啟說明檔 %1 的程式。</translation>
    </message>
    <message>
        <source>Only the first %1 folders of the library were searched.</source>
        <translation>只搜尋了檔案庫的前 %1 個資料夾。</translation>
    </message>
    <message>
        <source>Is the Selected File Delete?</source>
        <translation>確定要刪除勾選的檔案嗎？</translation>
    </message>
    <message>
        <source>Is the Selected File Group Delete?</source>
        <translation>確定要刪除勾選的檔案群組嗎？</translation>
    </message>
    <message>
        <source>Channel One Line Lost</source>
        <translation>通道一線路中斷</translation>
    </message>
    <message>
        <source>Channel Two Line Lost</source>
        <translation>通道二線路中斷</translation>
    </message>
    <message>
        <source>Two Channels Line Lost</source>
        <translation>兩個通道線路皆中斷</translation>
    </message>
    <message>
        <source>The file library is still copying, moving or deleting files. Closing now stops it, and what it has not done yet is not done.</source>
        <translation>檔案庫仍在複製、移動或刪除檔案。現在關閉會停止該作業，尚未完成的部分將不會完成。</translation>
    </message>
    <message>
        <source>Close When Done</source>
        <translation>完成後關閉</translation>
    </message>
    <message>
        <source>Stop and Close</source>
        <translation>停止並關閉</translation>
    </message>
    <message>
        <source>Keep Open</source>
        <translation>保持開啟</translation>
    </message>
</context>
<context>
    <name>CancelTaskDialog</name>
    <message>
        <source>Cancel Task</source>
        <translation>取消任務</translation>
    </message>
    <message>
        <source>Task</source>
        <translation>任務</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>類型</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>備註</translation>
    </message>
    <message>
        <source>Tasks</source>
        <translation>任務清單</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全部勾選</translation>
    </message>
    <message>
        <source>DELETE</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>ExplorerView</name>
    <message>
        <source>Copy</source>
        <translation>複製</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>剪下</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>貼上</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>移至垃圾桶</translation>
    </message>
    <message>
        <source>Delete Permanently</source>
        <translation>永久刪除</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>重新命名</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>新增資料夾</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>重新整理</translation>
    </message>
</context>
<context>
    <name>LibraryOperations</name>
    <message>
        <source>Progress</source>
        <translation>進度</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Another file operation is still running. Wait until it ends, or cancel it.</source>
        <translation>另一項檔案作業仍在進行中。請等它結束，或將它取消。</translation>
    </message>
    <message>
        <source>An item named “%1” already exists in “%2”.</source>
        <translation>「%2」中已有名為「%1」的項目。</translation>
    </message>
    <message>
        <source>Replacing it deletes that folder and everything in it.</source>
        <translation>取代它會刪除該資料夾及其中的所有內容。</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>取代</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>略過</translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation>兩者都保留</translation>
    </message>
    <message>
        <source>“%1” cannot be copied or moved into itself or into a folder inside it.</source>
        <translation>無法將「%1」複製或移動到它本身或它裡面的資料夾。</translation>
    </message>
    <message>
        <source>An item named “%1” already exists.</source>
        <translation>已有名為「%1」的項目。</translation>
    </message>
    <message>
        <source>“%1” is not a valid name: it must not be empty, &quot;.&quot; or &quot;..&quot;, nor hold &quot;/&quot;.</source>
        <translation>「%1」不是有效的名稱：名稱不可空白，不可為「.」或「..」，也不可含有「/」。</translation>
    </message>
    <message>
        <source>“%1” is a drive or the top of the file system; it is never deleted, moved or renamed.</source>
        <translation>「%1」是磁碟機或檔案系統的最上層，不能刪除、移動或重新命名。</translation>
    </message>
    <message>
        <source>“%1” is neither a file nor a folder, and cannot be copied.</source>
        <translation>「%1」既不是檔案也不是資料夾，無法複製。</translation>
    </message>
    <message>
        <source>“%1”: %2</source>
        <translation>「%1」：%2</translation>
    </message>
    <message>
        <source>“%1” cannot be moved to the trash: %2</source>
        <translation>無法將「%1」移至垃圾桶：%2</translation>
    </message>
    <message>
        <source>“%1” is copied to its new place, but the original could not be removed completely: %2</source>
        <translation>「%1」已複製到新位置，但原本的項目未能完全刪除：%2</translation>
    </message>
    <message>
        <source>“%1” cannot be moved to the trash (%2).
Delete it permanently instead? It cannot be restored.</source>
        <translation>無法將「%1」移至垃圾桶（%2）。
改為永久刪除嗎？刪除後無法復原。</translation>
    </message>
    <message>
        <source>These %1 items cannot be moved to the trash (%2):
%3
Delete them permanently instead? They cannot be restored.</source>
        <translation>以下 %1 個項目無法移至垃圾桶（%2）：
%3
改為永久刪除嗎？刪除後無法復原。</translation>
    </message>
    <message>
        <source>Deleting…</source>
        <translation>刪除中…</translation>
    </message>
    <message>
        <source>The copy did not complete.</source>
        <translation>複製未完成。</translation>
    </message>
    <message>
        <source>The move did not complete.</source>
        <translation>移動未完成。</translation>
    </message>
    <message>
        <source>Not everything was deleted.</source>
        <translation>並未全部刪除。</translation>
    </message>
    <message>
        <source>Moving to “%1”…</source>
        <translation>正在移動到「%1」…</translation>
    </message>
    <message>
        <source>Copying to “%1”…</source>
        <translation>正在複製到「%1」…</translation>
    </message>
    <message>
        <source>Move “%1” to the trash?</source>
        <translation>要將「%1」移至垃圾桶嗎？</translation>
    </message>
    <message>
        <source>Move these %1 items to the trash?
%2</source>
        <translation>要將這 %1 個項目移至垃圾桶嗎？
%2</translation>
    </message>
    <message>
        <source>Moving to the trash…</source>
        <translation>正在移至垃圾桶…</translation>
    </message>
    <message>
        <source>Delete “%1” permanently? It cannot be restored.</source>
        <translation>要永久刪除「%1」嗎？刪除後無法復原。</translation>
    </message>
    <message>
        <source>Delete these %1 items permanently? They cannot be restored.
%2</source>
        <translation>要永久刪除這 %1 個項目嗎？刪除後無法復原。
%2</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>重新命名</translation>
    </message>
    <message>
        <source>New name:</source>
        <translation>新名稱：</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>新增資料夾</translation>
    </message>
    <message>
        <source>Folder name:</source>
        <translation>資料夾名稱：</translation>
    </message>
    <message>
        <source>Prompting</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>A file operation in “%1” was cut short (the program or the computer stopped in the middle of it).</source>
        <translation>「%1」中的一項檔案作業被中斷（程式或電腦在作業途中停止）。</translation>
    </message>
    <message>
        <source>Put back under their names:</source>
        <translation>已按原名放回：</translation>
    </message>
    <message>
        <source>Removed, as left unfinished:</source>
        <translation>已刪除未完成的部分：</translation>
    </message>
    <message>
        <source>Left as they are (hidden, their names begin with “.talvorn-”):</source>
        <translation>保持原樣（隱藏，名稱以「.talvorn-」開頭）：</translation>
    </message>
</context>
<context>
    <name>LibraryRootsModel</name>
    <message>
        <source>Folder</source>
        <translation>資料夾</translation>
    </message>
    <message>
        <source>File</source>
        <translation>檔案</translation>
    </message>
    <message>
        <source>%1 File</source>
        <translation>%1 檔案</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>家目錄</translation>
    </message>
    <message>
        <source>File System</source>
        <translation>檔案系統</translation>
    </message>
</context>
<context>
    <name>LoadingWindow</name>
    <message>
        <source>Quorvelle Network Transfer System</source>
        <translation>Quorvelle 網路傳輸系統</translation>
    </message>
    <message>
        <source>Loading On System, Please Waiting...</source>
        <translation>系統載入中，請稍候...</translation>
    </message>
</context>
<context>
    <name>LockWaitNotice</name>
    <message>
        <source>Waiting</source>
        <translation>等待</translation>
    </message>
    <message>
        <source>Waiting for another program to finish with %1 (a station or talvorn-cli working in the same folder).</source>
        <translation>正在等待另一個程式用完 %1（在同一資料夾中工作的工作站或 talvorn-cli）。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>LogOnDialog</name>
    <message>
        <source>Log On</source>
        <translation>登入</translation>
    </message>
    <message>
        <source>Please Input Your PSW:</source>
        <translation>請輸入密碼：</translation>
    </message>
    <message>
        <source>User Name:</source>
        <translation>使用者名稱：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密碼：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>MachineTableDialog</name>
    <message>
        <source>Machine Information Setting Table</source>
        <translation>機台資訊設定表</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>隱藏</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>節點</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Machine</source>
        <translation>機台</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型號</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>System Write Error!</source>
        <translation>系統寫入錯誤！</translation>
    </message>
</context>
<context>
    <name>ModifyPasswordDialog</name>
    <message>
        <source>Modify Password</source>
        <translation>變更密碼</translation>
    </message>
    <message>
        <source>Please Input:</source>
        <translation>請輸入：</translation>
    </message>
    <message>
        <source>Old Password:</source>
        <translation>舊密碼：</translation>
    </message>
    <message>
        <source>New Password:</source>
        <translation>新密碼：</translation>
    </message>
    <message>
        <source>Confirm Password:</source>
        <translation>確認密碼：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>ParameterDialog</name>
    <message>
        <source>Parameter Setting</source>
        <translation>參數設定</translation>
    </message>
    <message>
        <source>CHANNEL ONE</source>
        <translation>通道一</translation>
    </message>
    <message>
        <source>CHANNEL TWO</source>
        <translation>通道二</translation>
    </message>
    <message>
        <source>COM Port:</source>
        <translation>序列埠：</translation>
    </message>
    <message>
        <source>Node Number:</source>
        <translation>節點數：</translation>
    </message>
    <message>
        <source>Speed:</source>
        <translation>傳輸速率：</translation>
    </message>
    <message>
        <source>First Number:</source>
        <translation>起始編號：</translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation>模式：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>19200 bps</source>
        <translation>19200 bps</translation>
    </message>
    <message>
        <source>38400 bps</source>
        <translation>38400 bps</translation>
    </message>
    <message>
        <source>57600 bps</source>
        <translation>57600 bps</translation>
    </message>
    <message>
        <source>115200 bps</source>
        <translation>115200 bps</translation>
    </message>
    <message>
        <source>Prompting</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Please enter an integer.</source>
        <translation>請輸入整數。</translation>
    </message>
    <message>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>請輸入 %1 到 %2 之間的整數。</translation>
    </message>
    <message>
        <source>Task is doing, please waiting!</source>
        <translation>任務進行中，請稍候！</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>System Write Error, Modification Lost!</source>
        <translation>系統寫入錯誤，修改未儲存！</translation>
    </message>
</context>
<context>
    <name>RightSettingDialog</name>
    <message>
        <source>Right Setting</source>
        <translation>權限設定</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Cancel Task</source>
        <translation>取消任務</translation>
    </message>
    <message>
        <source>Set System Parameter</source>
        <translation>設定系統參數</translation>
    </message>
    <message>
        <source>View Soft Note</source>
        <translation>檢視操作日誌</translation>
    </message>
    <message>
        <source>Edit Machine Information</source>
        <translation>編輯機台資訊</translation>
    </message>
    <message>
        <source>Query Node Status</source>
        <translation>查詢節點狀態</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>選擇檔案</translation>
    </message>
    <message>
        <source>Send File</source>
        <translation>傳送檔案</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>刪除檔案</translation>
    </message>
    <message>
        <source>Change PassWord</source>
        <translation>變更密碼</translation>
    </message>
    <message>
        <source>Close System</source>
        <translation>關閉系統</translation>
    </message>
</context>
<context>
    <name>SoftNoteDialog</name>
    <message>
        <source>Soft Note</source>
        <translation>操作日誌</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>序號</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>節點</translation>
    </message>
    <message>
        <source>FileName</source>
        <translation>檔名</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路徑</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>檔案</translation>
    </message>
    <message>
        <source>User</source>
        <translation>使用者</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>時間</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>記錄</translation>
    </message>
    <message>
        <source>Query</source>
        <translation>查詢</translation>
    </message>
    <message>
        <source>Query Condition</source>
        <translation>查詢條件</translation>
    </message>
    <message>
        <source>User Name:</source>
        <translation>使用者名稱：</translation>
    </message>
    <message>
        <source>Event Type:</source>
        <translation>事件類型：</translation>
    </message>
    <message>
        <source>Node:</source>
        <translation>節點：</translation>
    </message>
    <message>
        <source>Channel:</source>
        <translation>通道：</translation>
    </message>
    <message>
        <source>Day:</source>
        <translation>日期：</translation>
    </message>
    <message>
        <source>Query Result</source>
        <translation>查詢結果</translation>
    </message>
    <message>
        <source>Record Number:</source>
        <translation>記錄筆數：</translation>
    </message>
    <message>
        <source>EXIT</source>
        <translation>離開</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>刪除檔案</translation>
    </message>
    <message>
        <source>Clear File</source>
        <translation>清除檔案</translation>
    </message>
    <message>
        <source>Send File</source>
        <translation>傳送檔案</translation>
    </message>
    <message>
        <source>All Event</source>
        <translation>全部事件</translation>
    </message>
    <message>
        <source>Channel One</source>
        <translation>通道一</translation>
    </message>
    <message>
        <source>Channel Two</source>
        <translation>通道二</translation>
    </message>
</context>
<context>
    <name>StationText</name>
    <message>
        <source>Administrator</source>
        <comment>32895</comment>
        <translation>管理員</translation>
    </message>
    <message>
        <source>Operator</source>
        <comment>32896</comment>
        <translation>操作員</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>41700</comment>
        <translation>確定</translation>
    </message>
    <message>
        <source>Name or Password can&apos;t set blank!</source>
        <comment>41701</comment>
        <translation>使用者名稱和密碼不可空白！</translation>
    </message>
    <message>
        <source>Error</source>
        <comment>41702</comment>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>Password don&apos;t match, Please over again input!</source>
        <comment>41703</comment>
        <translation>兩次輸入的密碼不一致，請重新輸入！</translation>
    </message>
    <message>
        <source>Retry</source>
        <comment>41704</comment>
        <translation>重試</translation>
    </message>
    <message>
        <source>User Count Exceed 99.</source>
        <comment>41705</comment>
        <translation>使用者人數不可超過 99 人。</translation>
    </message>
    <message>
        <source>User Name Existes! Please Retry!</source>
        <comment>41706</comment>
        <translation>使用者名稱已存在，請重試！</translation>
    </message>
    <message>
        <source>System Write Error!</source>
        <comment>41707</comment>
        <translation>系統寫入錯誤！</translation>
    </message>
    <message>
        <source>Adding User Success!</source>
        <comment>41708</comment>
        <translation>新增使用者成功！</translation>
    </message>
    <message>
        <source>Password don&apos;t match!£¬Please Retry!</source>
        <comment>41709</comment>
        <translation>密碼不一致，請重試！</translation>
    </message>
    <message>
        <source>System Write Error, Modification Lost!</source>
        <comment>41710</comment>
        <translation>系統寫入錯誤，修改未儲存！</translation>
    </message>
    <message>
        <source>User Information Is Modified Success!</source>
        <comment>41711</comment>
        <translation>使用者資料修改成功！</translation>
    </message>
    <message>
        <source>Password Error!</source>
        <comment>41742</comment>
        <translation>密碼錯誤！</translation>
    </message>
    <message>
        <source>Password Read Error!</source>
        <comment>41745</comment>
        <translation>密碼讀取錯誤！</translation>
    </message>
    <message>
        <source>Success£¬Keep The New PSW In Mind!</source>
        <comment>41746</comment>
        <translation>變更成功，請記住新密碼！</translation>
    </message>
    <message>
        <source>Current User: No User Logs On</source>
        <comment>41752</comment>
        <translation>目前使用者：無使用者登入</translation>
    </message>
    <message>
        <source>Current User:</source>
        <comment>41753</comment>
        <translation>目前使用者：</translation>
    </message>
    <message>
        <source>Name Or Password Error!</source>
        <comment>41754</comment>
        <translation>使用者名稱或密碼錯誤！</translation>
    </message>
    <message>
        <source>You Must Choose A User From The List First.</source>
        <comment>41773</comment>
        <translation>請先在清單中選擇一位使用者。</translation>
    </message>
    <message>
        <source>Can Not Delete Yourself!</source>
        <comment>41774</comment>
        <translation>不可刪除自己！</translation>
    </message>
    <message>
        <source>Are You Sure To Delete User:</source>
        <comment>41775</comment>
        <translation>確定要刪除使用者：</translation>
    </message>
    <message>
        <source>Add User</source>
        <comment>41778</comment>
        <translation>新增使用者</translation>
    </message>
    <message>
        <source>Modify User</source>
        <comment>41779</comment>
        <translation>修改使用者</translation>
    </message>
    <message>
        <source>Name or Password is too long!</source>
        <comment>41790</comment>
        <translation>使用者名稱或密碼太長！</translation>
    </message>
    <message>
        <source>File Has Already Existed.<byte value="xd"/>
Cover It and Send It?</source>
        <comment>42001</comment>
        <translation>檔案已存在。<byte value="xd"/>
要覆蓋並傳送嗎？</translation>
    </message>
    <message>
        <source>Invalid File!</source>
        <comment>42002</comment>
        <translation>檔案無效！</translation>
    </message>
    <message>
        <source>%1: no such file</source>
        <comment>42010</comment>
        <translation>%1：檔案不存在</translation>
    </message>
    <message>
        <source>%1: not a regular file</source>
        <comment>42011</comment>
        <translation>%1：不是一般檔案</translation>
    </message>
    <message>
        <source>%1: cannot be read</source>
        <comment>42012</comment>
        <translation>%1：無法讀取</translation>
    </message>
    <message>
        <source>%1: %2 bytes; a node takes files of 1 to %3 bytes</source>
        <comment>42013</comment>
        <translation>%1：%2 位元組；節點只接受 1 到 %3 位元組的檔案</translation>
    </message>
    <message>
        <source>%1: has the same name on the node as %2 (%3)</source>
        <comment>42014</comment>
        <translation>%1：在節點上與 %2 同名（%3）</translation>
    </message>
    <message>
        <source>%1: left out; a node holds at most %2 files</source>
        <comment>42015</comment>
        <translation>%1：未加入；節點最多存放 %2 個檔案</translation>
    </message>
    <message>
        <source>Send File End</source>
        <comment>42104</comment>
        <translation>檔案傳送完成</translation>
    </message>
    <message>
        <source>No Sufficient Room</source>
        <comment>42105</comment>
        <translation>空間不足</translation>
    </message>
    <message>
        <source>File Num Exceed</source>
        <comment>42106</comment>
        <translation>檔案數超過上限</translation>
    </message>
    <message>
        <source>Query End</source>
        <comment>42110</comment>
        <translation>查詢完成</translation>
    </message>
    <message>
        <source>Delete End</source>
        <comment>42111</comment>
        <translation>刪除完成</translation>
    </message>
    <message>
        <source>Clear End</source>
        <comment>42112</comment>
        <translation>清除完成</translation>
    </message>
    <message>
        <source>Quering...</source>
        <comment>42114</comment>
        <translation>查詢中...</translation>
    </message>
    <message>
        <source>Waiting...</source>
        <comment>42115</comment>
        <translation>等待中...</translation>
    </message>
    <message>
        <source>Deleting...</source>
        <comment>42116</comment>
        <translation>刪除中...</translation>
    </message>
    <message>
        <source>Retry Delete...</source>
        <comment>42117</comment>
        <translation>重試刪除...</translation>
    </message>
    <message>
        <source>Clearing...</source>
        <comment>42118</comment>
        <translation>清除中...</translation>
    </message>
    <message>
        <source>Retry Clear...</source>
        <comment>42119</comment>
        <translation>重試清除...</translation>
    </message>
    <message>
        <source>Sending File&apos;s Head...</source>
        <comment>42120</comment>
        <translation>傳送檔頭中...</translation>
    </message>
    <message>
        <source>Sending File&apos;s Package...</source>
        <comment>42121</comment>
        <translation>傳送封包中...</translation>
    </message>
    <message>
        <source>User Has Cancelled Task</source>
        <comment>42122</comment>
        <translation>使用者已取消任務</translation>
    </message>
    <message>
        <source>File Cannot Be Read</source>
        <comment>42123</comment>
        <translation>檔案無法讀取</translation>
    </message>
    <message>
        <source>Line Lost</source>
        <comment>42124</comment>
        <translation>線路中斷</translation>
    </message>
    <message>
        <source>Two Channels Error</source>
        <comment>42200</comment>
        <translation>兩個通道皆失敗</translation>
    </message>
    <message>
        <source>Channel One Success, Channel Two Error</source>
        <comment>42201</comment>
        <translation>通道一成功，通道二失敗</translation>
    </message>
    <message>
        <source>Channel One Error, Channel Two Success</source>
        <comment>42202</comment>
        <translation>通道一失敗，通道二成功</translation>
    </message>
    <message>
        <source>Two Channel Success</source>
        <comment>42203</comment>
        <translation>兩個通道皆成功</translation>
    </message>
    <message>
        <source>Query Node</source>
        <comment>42301</comment>
        <translation>查詢節點</translation>
    </message>
    <message>
        <source>Send File</source>
        <comment>42302</comment>
        <translation>傳送檔案</translation>
    </message>
    <message>
        <source>Delete File</source>
        <comment>42305</comment>
        <translation>刪除檔案</translation>
    </message>
    <message>
        <source>Clear File</source>
        <comment>42306</comment>
        <translation>清除檔案</translation>
    </message>
    <message>
        <source>Length Cannot Exceeds 20 ASCII Bytes.</source>
        <comment>42400</comment>
        <translation>長度不可超過 20 個 ASCII 位元組。</translation>
    </message>
    <message>
        <source>Please Modify</source>
        <comment>42401</comment>
        <translation>請修改</translation>
    </message>
    <message>
        <source>Duplicate File Name</source>
        <comment>42125</comment>
        <translation>檔名重複</translation>
    </message>
    <message>
        <source>Send Made No Progress</source>
        <comment>42126</comment>
        <translation>傳送無進展</translation>
    </message>
</context>
<context>
    <name>UserEditDialog</name>
    <message>
        <source>Please Input:</source>
        <translation>請輸入：</translation>
    </message>
    <message>
        <source>User Name:</source>
        <translation>使用者名稱：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密碼：</translation>
    </message>
    <message>
        <source>Confirm PSW:</source>
        <translation>確認密碼：</translation>
    </message>
    <message>
        <source>Right Setting</source>
        <translation>權限設定</translation>
    </message>
    <message>
        <source>Administrator</source>
        <translation>管理員</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>操作員</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>詳細</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>UserManagementDialog</name>
    <message>
        <source>User Management</source>
        <translation>使用者管理</translation>
    </message>
    <message>
        <source>User Name</source>
        <translation>使用者名稱</translation>
    </message>
    <message>
        <source>User Class</source>
        <translation>使用者類別</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>使用者</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>新增</translation>
    </message>
    <message>
        <source>Modify</source>
        <translation>修改</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
</context>
</TS>
