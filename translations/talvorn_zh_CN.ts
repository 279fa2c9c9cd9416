<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CExplorerListView</name>
    <message>
        <source>Files</source>
        <translation>文件</translation>
    </message>
</context>
<context>
    <name>CExplorerTreeView</name>
    <message>
        <source>Folders</source>
        <translation>文件夹</translation>
    </message>
</context>
<context>
    <name>CTransferApp</name>
    <message>
        <source>Loading Data Base Failed!</source>
        <translation>数据库加载失败！</translation>
    </message>
    <message>
        <source>Quorvelle Network Transfer System</source>
        <translation>Quorvelle 网络传输系统</translation>
    </message>
</context>
<context>
    <name>CTransferDlg</name>
    <message>
        <source>Quorvelle Network Transfer System</source>
        <translation>Quorvelle 网络传输系统</translation>
    </message>
    <message>
        <source>Prompting</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>System Open Time:</source>
        <translation>系统启动时间：</translation>
    </message>
    <message>
        <source>Transfer Parameter(&amp;T)</source>
        <translation>传输参数(&amp;T)</translation>
    </message>
    <message>
        <source>Machine Information(&amp;M)</source>
        <translation>机台信息(&amp;M)</translation>
    </message>
    <message>
        <source>File Path(&amp;P)</source>
        <translation>文件路径(&amp;P)</translation>
    </message>
    <message>
        <source>User Management(&amp;U)</source>
        <translation>用户管理(&amp;U)</translation>
    </message>
    <message>
        <source>Modify Password(&amp;C)</source>
        <translation>修改密码(&amp;C)</translation>
    </message>
    <message>
        <source>Log On/Out(&amp;L)</source>
        <translation>登录/注销(&amp;L)</translation>
    </message>
    <message>
        <source>Soft Note(&amp;N)</source>
        <translation>操作日志(&amp;N)</translation>
    </message>
    <message>
        <source>Exit System(&amp;X)</source>
        <translation>退出系统(&amp;X)</translation>
    </message>
    <message>
        <source>Select File(&amp;F)</source>
        <translation>选择文件(&amp;F)</translation>
    </message>
    <message>
        <source>Switch Channel(&amp;N)</source>
        <translation>切换通道(&amp;N)</translation>
    </message>
    <message>
        <source>Send File(&amp;S)</source>
        <translation>发送文件(&amp;S)</translation>
    </message>
    <message>
        <source>Delete File(&amp;D)</source>
        <translation>删除文件(&amp;D)</translation>
    </message>
    <message>
        <source>Clear File(&amp;E)</source>
        <translation>清空文件(&amp;E)</translation>
    </message>
    <message>
        <source>Query Node(&amp;Q)</source>
        <translation>查询节点(&amp;Q)</translation>
    </message>
    <message>
        <source>Cancel Task(&amp;C)</source>
        <translation>取消任务(&amp;C)</translation>
    </message>
    <message>
        <source>Select All(&amp;A)</source>
        <translation>全部勾选(&amp;A)</translation>
    </message>
    <message>
        <source>Select Part(&amp;P)</source>
        <translation>勾选选中行(&amp;P)</translation>
    </message>
    <message>
        <source>Select Other(&amp;I)</source>
        <translation>反向勾选(&amp;I)</translation>
    </message>
    <message>
        <source>Cancel All(&amp;C)</source>
        <translation>全部取消勾选(&amp;C)</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>View File(&amp;V)</source>
        <translation>浏览文件(&amp;V)</translation>
    </message>
    <message>
        <source>Edition Information(&amp;I)</source>
        <translation>版本信息(&amp;I)</translation>
    </message>
    <message>
        <source>How to Use(&amp;U)</source>
        <translation>使用说明(&amp;U)</translation>
    </message>
    <message>
        <source>View File</source>
        <translation>浏览文件</translation>
    </message>
    <message>
        <source>Switch Chinnal</source>
        <translation>切换通道</translation>
    </message>
    <message>
        <source>Query Node</source>
        <translation>查询节点</translation>
    </message>
    <message>
        <source>Send File</source>
        <translation>发送文件</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>删除文件</translation>
    </message>
    <message>
        <source>Clear File</source>
        <translation>清空文件</translation>
    </message>
    <message>
        <source>Cancel Task</source>
        <translation>取消任务</translation>
    </message>
    <message>
        <source>Select Part/n Select Part</source>
        <translation>勾选选中行</translation>
    </message>
    <message>
        <source>Cancel Select All</source>
        <translation>全部取消勾选</translation>
    </message>
    <message>
        <source>Add Select File</source>
        <translation>添加文件</translation>
    </message>
    <message>
        <source>Log On/Out </source>
        <translation>登录/注销</translation>
    </message>
    <message>
        <source>Version Information</source>
        <translation>版本信息</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>&amp;System</source>
        <translation>系统(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Transfer</source>
        <translation>传输(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Operation</source>
        <translation>操作(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>工具栏</translation>
    </message>
    <message>
        <source>Channel One Success, Channel Two Error</source>
        <translation>通道一成功，通道二失败</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Machine</source>
        <translation>机台</translation>
    </message>
    <message>
        <source>Task Num</source>
        <translation>任务数</translation>
    </message>
    <message>
        <source>Current Task</source>
        <translation>当前任务</translation>
    </message>
    <message>
        <source>Rate</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>File Num</source>
        <translation>文件数</translation>
    </message>
    <message>
        <source>Space Room</source>
        <translation>剩余空间</translation>
    </message>
    <message>
        <source>Transfer Information</source>
        <translation>传输信息</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>FileName</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>组号</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>Sum Size</source>
        <translation>总大小</translation>
    </message>
    <message>
        <source>Nodes</source>
        <translation>节点列表</translation>
    </message>
    <message>
        <source>Node Files</source>
        <translation>节点文件</translation>
    </message>
    <message>
        <source>Group Files</source>
        <translation>组内文件</translation>
    </message>
    <message>
        <source>File Groups</source>
        <translation>文件组</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全部勾选</translation>
    </message>
    <message>
        <source>Select Part</source>
        <translation>勾选选中行</translation>
    </message>
    <message>
        <source>Select Other</source>
        <translation>反向勾选</translation>
    </message>
    <message>
        <source>Cancel All</source>
        <translation>全部取消勾选</translation>
    </message>
    <message>
        <source>Transfer</source>
        <translation>传输</translation>
    </message>
    <message>
        <source>FileList</source>
        <translation>文件列表</translation>
    </message>
    <message>
        <source>Add File</source>
        <translation>添加文件</translation>
    </message>
    <message>
        <source>FileGroup</source>
        <translation>文件组</translation>
    </message>
    <message>
        <source>FilesGroup</source>
        <translation>文件组列表</translation>
    </message>
    <message>
        <source>Task Bar</source>
        <translation>任务栏</translation>
    </message>
    <message>
        <source>Exit System</source>
        <translation>退出系统</translation>
    </message>
    <message>
        <source>These files were left out:
%1</source>
        <translation>以下文件未加入：
%1</translation>
    </message>
    <message>
        <source>All File</source>
        <translation>所有文件</translation>
    </message>
    <message>
        <source>Nothing was done: the event log cannot be written.
%1</source>
        <translation>未执行任何操作：操作日志无法写入。
%1</translation>
    </message>
    <message>
        <source>Nothing was done: writing the event log failed.</source>
        <translation>未执行任何操作：写入操作日志失败。</translation>
    </message>
    <message>
        <source>Nothing was done: the channel takes no tasks.</source>
        <translation>未执行任何操作：该通道不接受任务。</translation>
    </message>
    <message>
        <source>Please Select File Group First!</source>
        <translation>请先选择文件组！</translation>
    </message>
    <message>
        <source>System Write Error!</source>
        <translation>系统写入错误！</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>Please Choose The Node in List!</source>
        <translation>请在列表中选择节点！</translation>
    </message>
    <message>
        <source>The checked groups hold %1 files to send; a machine holds at most %2. Nothing was sent.</source>
        <translation>勾选的文件组共有 %1 个文件要发送，而一台机台最多存放 %2 个文件。未发送任何文件。</translation>
    </message>
    <message>
        <source>No file of the checked groups can be sent:
%1</source>
        <translation>勾选的文件组中没有可发送的文件：
%1</translation>
    </message>
    <message numerus="yes">
        <source>These files are left out:
%1

Send the other %n file(s)?</source>
        <translation>
            <numerusform>以下文件未加入：
%1

要发送其余 %n 个文件吗？</numerusform>
        </translation>
    </message>
    <message>
        <source>Do  you delete the files in the node?</source>
        <translation>确定要删除节点中的文件吗？</translation>
    </message>
    <message>
        <source>About Quorvelle Network Transfer System</source>
        <translation>关于 Quorvelle 网络传输系统</translation>
    </message>
    <message>
        <source>Version 2.0</source>
        <translation>版本 2.0</translation>
    </message>
    <message>
        <source>The help file %1 is missing.</source>
        <translation>找不到帮助文件 %1。</translation>
    </message>
    <message>
        <source>Nothing on this computer could open the help file %1.</source>
        <translation>这台电脑上没有能打开帮助文件 %1 的程序。</translation>
    </message>
    <message>
        <source>Only the first %1 folders of the library were searched.</source>
        <translation>只查找了文件库的前 %1 个文件夹。</translation>
    </message>
    <message>
        <source>Is the Selected File Delete?</source>
        <translation>确定要删除勾选的文件吗？</translation>
    </message>
    <message>
        <source>Is the Selected File Group Delete?</source>
        <translation>确定要删除勾选的文件组吗？</translation>
    </message>
    <message>
        <source>Channel One Line Lost</source>
        <translation>通道一线路中断</translation>
    </message>
    <message>
        <source>Channel Two Line Lost</source>
        <translation>通道二线路中断</translation>
    </message>
    <message>
        <source>Two Channels Line Lost</source>
        <translation>两个通道线路均中断</translation>
    </message>
    <message>
        <source>The file library is still copying, moving or deleting files. Closing now stops it, and what it has not done yet is not done.</source>
        <translation>文件库仍在复制、移动或删除文件。现在关闭会停止该操作，尚未完成的部分将不会完成。</translation>
    </message>
    <message>
        <source>Close When Done</source>
        <translation>完成后关闭</translation>
    </message>
    <message>
        <source>Stop and Close</source>
        <translation>停止并关闭</translation>
    </message>
    <message>
        <source>Keep Open</source>
        <translation>保持打开</translation>
    </message>
</context>
<context>
    <name>CancelTaskDialog</name>
    <message>
        <source>Cancel Task</source>
        <translation>取消任务</translation>
    </message>
    <message>
        <source>Task</source>
        <translation>任务</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>备注</translation>
    </message>
    <message>
        <source>Tasks</source>
        <translation>任务列表</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全部勾选</translation>
    </message>
    <message>
        <source>DELETE</source>
        <translation>删除</translation>
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
        <translation>复制</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>剪切</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message>
        <source>Move to Trash</source>
        <translation>移到回收站</translation>
    </message>
    <message>
        <source>Delete Permanently</source>
        <translation>永久删除</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>重命名</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
</context>
<context>
    <name>LibraryOperations</name>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Another file operation is still running. Wait until it ends, or cancel it.</source>
        <translation>另一个文件操作仍在进行。请等待它结束，或将它取消。</translation>
    </message>
    <message>
        <source>An item named “%1” already exists in “%2”.</source>
        <translation>“%2”中已有名为“%1”的项目。</translation>
    </message>
    <message>
        <source>Replacing it deletes that folder and everything in it.</source>
        <translation>替换会删除该文件夹及其中的全部内容。</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>替换</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>跳过</translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation>保留两者</translation>
    </message>
    <message>
        <source>“%1” cannot be copied or moved into itself or into a folder inside it.</source>
        <translation>不能将“%1”复制或移动到它自身或它里面的文件夹中。</translation>
    </message>
    <message>
        <source>An item named “%1” already exists.</source>
        <translation>已有名为“%1”的项目。</translation>
    </message>
    <message>
        <source>“%1” is not a valid name: it must not be empty, &quot;.&quot; or &quot;..&quot;, nor hold &quot;/&quot;.</source>
        <translation>“%1”不是有效的名称：名称不能为空，不能是“.”或“..”，也不能含有“/”。</translation>
    </message>
    <message>
        <source>“%1” is a drive or the top of the file system; it is never deleted, moved or renamed.</source>
        <translation>“%1”是驱动器或文件系统的最顶层，不能删除、移动或重命名。</translation>
    </message>
    <message>
        <source>“%1” is neither a file nor a folder, and cannot be copied.</source>
        <translation>“%1”既不是文件也不是文件夹，无法复制。</translation>
    </message>
    <message>
        <source>“%1”: %2</source>
        <translation>“%1”：%2</translation>
    </message>
    <message>
        <source>“%1” cannot be moved to the trash: %2</source>
        <translation>无法将“%1”移到回收站：%2</translation>
    </message>
    <message>
        <source>“%1” is copied to its new place, but the original could not be removed completely: %2</source>
        <translation>“%1”已复制到新位置，但原来的文件未能完全删除：%2</translation>
    </message>
    <message>
        <source>“%1” cannot be moved to the trash (%2).
Delete it permanently instead? It cannot be restored.</source>
        <translation>无法将“%1”移到回收站（%2）。
改为永久删除吗？删除后无法恢复。</translation>
    </message>
    <message>
        <source>These %1 items cannot be moved to the trash (%2):
%3
Delete them permanently instead? They cannot be restored.</source>
        <translation>以下 %1 个项目无法移到回收站（%2）：
%3
改为永久删除吗？删除后无法恢复。</translation>
    </message>
    <message>
        <source>Deleting…</source>
        <translation>正在删除…</translation>
    </message>
    <message>
        <source>The copy did not complete.</source>
        <translation>复制没有完成。</translation>
    </message>
    <message>
        <source>The move did not complete.</source>
        <translation>移动没有完成。</translation>
    </message>
    <message>
        <source>Not everything was deleted.</source>
        <translation>未能全部删除。</translation>
    </message>
    <message>
        <source>Moving to “%1”…</source>
        <translation>正在移动到“%1”…</translation>
    </message>
    <message>
        <source>Copying to “%1”…</source>
        <translation>正在复制到“%1”…</translation>
    </message>
    <message>
        <source>Move “%1” to the trash?</source>
        <translation>将“%1”移到回收站吗？</translation>
    </message>
    <message>
        <source>Move these %1 items to the trash?
%2</source>
        <translation>将这 %1 个项目移到回收站吗？
%2</translation>
    </message>
    <message>
        <source>Moving to the trash…</source>
        <translation>正在移到回收站…</translation>
    </message>
    <message>
        <source>Delete “%1” permanently? It cannot be restored.</source>
        <translation>永久删除“%1”吗？删除后无法恢复。</translation>
    </message>
    <message>
        <source>Delete these %1 items permanently? They cannot be restored.
%2</source>
        <translation>永久删除这 %1 个项目吗？删除后无法恢复。
%2</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>重命名</translation>
    </message>
    <message>
        <source>New name:</source>
        <translation>新名称：</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>新建文件夹</translation>
    </message>
    <message>
        <source>Folder name:</source>
        <translation>文件夹名称：</translation>
    </message>
    <message>
        <source>Prompting</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>A file operation in “%1” was cut short (the program or the computer stopped in the middle of it).</source>
        <translation>“%1”中的一个文件操作被中断（程序或计算机在操作途中停止）。</translation>
    </message>
    <message>
        <source>Put back under their names:</source>
        <translation>已按原名放回：</translation>
    </message>
    <message>
        <source>Removed, as left unfinished:</source>
        <translation>已删除未完成的部分：</translation>
    </message>
    <message>
        <source>Left as they are (hidden, their names begin with “.talvorn-”):</source>
        <translation>保持原样（隐藏，名称以“.talvorn-”开头）：</translation>
    </message>
</context>
<context>
    <name>LibraryRootsModel</name>
    <message>
        <source>Folder</source>
        <translation>文件夹</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>%1 File</source>
        <translation>%1 文件</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>主文件夹</translation>
    </message>
    <message>
        <source>File System</source>
        <translation>文件系统</translation>
    </message>
</context>
<context>
    <name>LoadingWindow</name>
    <message>
        <source>Quorvelle Network Transfer System</source>
        <translation>Quorvelle 网络传输系统</translation>
    </message>
    <message>
        <source>Loading On System, Please Waiting...</source>
        <translation>系统加载中，请稍候...</translation>
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
        <translation>正在等待另一个程序用完 %1（在同一文件夹中工作的工作站或 talvorn-cli）。</translation>
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
        <translation>登录</translation>
    </message>
    <message>
        <source>Please Input Your PSW:</source>
        <translation>请输入密码：</translation>
    </message>
    <message>
        <source>User Name:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
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
        <translation>机台信息设置表</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>隐藏</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Machine</source>
        <translation>机台</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>System Write Error!</source>
        <translation>系统写入错误！</translation>
    </message>
</context>
<context>
    <name>ModifyPasswordDialog</name>
    <message>
        <source>Modify Password</source>
        <translation>修改密码</translation>
    </message>
    <message>
        <source>Please Input:</source>
        <translation>请输入：</translation>
    </message>
    <message>
        <source>Old Password:</source>
        <translation>旧密码：</translation>
    </message>
    <message>
        <source>New Password:</source>
        <translation>新密码：</translation>
    </message>
    <message>
        <source>Confirm Password:</source>
        <translation>确认密码：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
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
        <translation>参数设置</translation>
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
        <translation>串口：</translation>
    </message>
    <message>
        <source>Node Number:</source>
        <translation>节点数：</translation>
    </message>
    <message>
        <source>Speed:</source>
        <translation>速率：</translation>
    </message>
    <message>
        <source>First Number:</source>
        <translation>起始编号：</translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation>模式：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
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
        <translation>请输入整数。</translation>
    </message>
    <message>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>请输入 %1 到 %2 之间的整数。</translation>
    </message>
    <message>
        <source>Task is doing, please waiting!</source>
        <translation>任务进行中，请稍候！</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>System Write Error, Modification Lost!</source>
        <translation>系统写入错误，修改没有保存！</translation>
    </message>
</context>
<context>
    <name>RightSettingDialog</name>
    <message>
        <source>Right Setting</source>
        <translation>权限设置</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Cancel Task</source>
        <translation>取消任务</translation>
    </message>
    <message>
        <source>Set System Parameter</source>
        <translation>设置系统参数</translation>
    </message>
    <message>
        <source>View Soft Note</source>
        <translation>查看操作日志</translation>
    </message>
    <message>
        <source>Edit Machine Information</source>
        <translation>编辑机台信息</translation>
    </message>
    <message>
        <source>Query Node Status</source>
        <translation>查询节点状态</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>Send File</source>
        <translation>发送文件</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>删除文件</translation>
    </message>
    <message>
        <source>Change PassWord</source>
        <translation>修改密码</translation>
    </message>
    <message>
        <source>Close System</source>
        <translation>关闭系统</translation>
    </message>
</context>
<context>
    <name>SoftNoteDialog</name>
    <message>
        <source>Soft Note</source>
        <translation>操作日志</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>节点</translation>
    </message>
    <message>
        <source>FileName</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>User</source>
        <translation>用户</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>Query</source>
        <translation>查询</translation>
    </message>
    <message>
        <source>Query Condition</source>
        <translation>查询条件</translation>
    </message>
    <message>
        <source>User Name:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Event Type:</source>
        <translation>事件类型：</translation>
    </message>
    <message>
        <source>Node:</source>
        <translation>节点：</translation>
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
        <translation>查询结果</translation>
    </message>
    <message>
        <source>Record Number:</source>
        <translation>记录数：</translation>
    </message>
    <message>
        <source>EXIT</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>删除文件</translation>
    </message>
    <message>
        <source>Clear File</source>
        <translation>清空文件</translation>
    </message>
    <message>
        <source>Send File</source>
        <translation>发送文件</translation>
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
        <translation>管理员</translation>
    </message>
    <message>
        <source>Operator</source>
        <comment>32896</comment>
        <translation>操作员</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>41700</comment>
        <translation>确定</translation>
    </message>
    <message>
        <source>Name or Password can&apos;t set blank!</source>
        <comment>41701</comment>
        <translation>用户名和密码不能为空！</translation>
    </message>
    <message>
        <source>Error</source>
        <comment>41702</comment>
        <translation>错误</translation>
    </message>
    <message>
        <source>Password don&apos;t match, Please over again input!</source>
        <comment>41703</comment>
        <translation>两次输入的密码不一致，请重新输入！</translation>
    </message>
    <message>
        <source>Retry</source>
        <comment>41704</comment>
        <translation>重试</translation>
    </message>
    <message>
        <source>User Count Exceed 99.</source>
        <comment>41705</comment>
        <translation>用户数不能超过 99 个。</translation>
    </message>
    <message>
        <source>User Name Existes! Please Retry!</source>
        <comment>41706</comment>
        <translation>用户名已存在，请重试！</translation>
    </message>
    <message>
        <source>System Write Error!</source>
        <comment>41707</comment>
        <translation>系统写入错误！</translation>
    </message>
    <message>
        <source>Adding User Success!</source>
        <comment>41708</comment>
        <translation>添加用户成功！</translation>
    </message>
    <message>
        <source>Password don&apos;t match!£¬Please Retry!</source>
        <comment>41709</comment>
        <translation>密码不一致，请重试！</translation>
    </message>
    <message>
        <source>System Write Error, Modification Lost!</source>
        <comment>41710</comment>
        <translation>系统写入错误，修改没有保存！</translation>
    </message>
    <message>
        <source>User Information Is Modified Success!</source>
        <comment>41711</comment>
        <translation>用户信息修改成功！</translation>
    </message>
    <message>
        <source>Password Error!</source>
        <comment>41742</comment>
        <translation>密码错误！</translation>
    </message>
    <message>
        <source>Password Read Error!</source>
        <comment>41745</comment>
        <translation>密码读取错误！</translation>
    </message>
    <message>
        <source>Success£¬Keep The New PSW In Mind!</source>
        <comment>41746</comment>
        <translation>修改成功，请记住新密码！</translation>
    </message>
    <message>
        <source>Current User: No User Logs On</source>
        <comment>41752</comment>
        <translation>当前用户：无用户登录</translation>
    </message>
    <message>
        <source>Current User:</source>
        <comment>41753</comment>
        <translation>当前用户：</translation>
    </message>
    <message>
        <source>Name Or Password Error!</source>
        <comment>41754</comment>
        <translation>用户名或密码错误！</translation>
    </message>
    <message>
        <source>You Must Choose A User From The List First.</source>
        <comment>41773</comment>
        <translation>请先在列表中选择一个用户。</translation>
    </message>
    <message>
        <source>Can Not Delete Yourself!</source>
        <comment>41774</comment>
        <translation>不能删除自己！</translation>
    </message>
    <message>
        <source>Are You Sure To Delete User:</source>
        <comment>41775</comment>
        <translation>确定要删除用户：</translation>
    </message>
    <message>
        <source>Add User</source>
        <comment>41778</comment>
        <translation>添加用户</translation>
    </message>
    <message>
        <source>Modify User</source>
        <comment>41779</comment>
        <translation>修改用户</translation>
    </message>
    <message>
        <source>Name or Password is too long!</source>
        <comment>41790</comment>
        <translation>用户名或密码太长！</translation>
    </message>
    <message>
        <source>File Has Already Existed.<byte value="xd"/>
Cover It and Send It?</source>
        <comment>42001</comment>
        <translation>文件已存在。<byte value="xd"/>
要覆盖并发送吗？</translation>
    </message>
    <message>
        <source>Invalid File!</source>
        <comment>42002</comment>
        <translation>文件无效！</translation>
    </message>
    <message>
        <source>%1: no such file</source>
        <comment>42010</comment>
        <translation>%1：文件不存在</translation>
    </message>
    <message>
        <source>%1: not a regular file</source>
        <comment>42011</comment>
        <translation>%1：不是普通文件</translation>
    </message>
    <message>
        <source>%1: cannot be read</source>
        <comment>42012</comment>
        <translation>%1：无法读取</translation>
    </message>
    <message>
        <source>%1: %2 bytes; a node takes files of 1 to %3 bytes</source>
        <comment>42013</comment>
        <translation>%1：%2 字节；节点只接收 1 到 %3 字节的文件</translation>
    </message>
    <message>
        <source>%1: has the same name on the node as %2 (%3)</source>
        <comment>42014</comment>
        <translation>%1：在节点上与 %2 同名（%3）</translation>
    </message>
    <message>
        <source>%1: left out; a node holds at most %2 files</source>
        <comment>42015</comment>
        <translation>%1：未加入；节点最多存放 %2 个文件</translation>
    </message>
    <message>
        <source>Send File End</source>
        <comment>42104</comment>
        <translation>文件发送完成</translation>
    </message>
    <message>
        <source>No Sufficient Room</source>
        <comment>42105</comment>
        <translation>空间不足</translation>
    </message>
    <message>
        <source>File Num Exceed</source>
        <comment>42106</comment>
        <translation>文件数超过上限</translation>
    </message>
    <message>
        <source>Query End</source>
        <comment>42110</comment>
        <translation>查询完成</translation>
    </message>
    <message>
        <source>Delete End</source>
        <comment>42111</comment>
        <translation>删除完成</translation>
    </message>
    <message>
        <source>Clear End</source>
        <comment>42112</comment>
        <translation>清空完成</translation>
    </message>
    <message>
        <source>Quering...</source>
        <comment>42114</comment>
        <translation>正在查询...</translation>
    </message>
    <message>
        <source>Waiting...</source>
        <comment>42115</comment>
        <translation>等待中...</translation>
    </message>
    <message>
        <source>Deleting...</source>
        <comment>42116</comment>
        <translation>正在删除...</translation>
    </message>
    <message>
        <source>Retry Delete...</source>
        <comment>42117</comment>
        <translation>重试删除...</translation>
    </message>
    <message>
        <source>Clearing...</source>
        <comment>42118</comment>
        <translation>正在清空...</translation>
    </message>
    <message>
        <source>Retry Clear...</source>
        <comment>42119</comment>
        <translation>重试清空...</translation>
    </message>
    <message>
        <source>Sending File&apos;s Head...</source>
        <comment>42120</comment>
        <translation>正在发送文件头...</translation>
    </message>
    <message>
        <source>Sending File&apos;s Package...</source>
        <comment>42121</comment>
        <translation>正在发送数据包...</translation>
    </message>
    <message>
        <source>User Has Cancelled Task</source>
        <comment>42122</comment>
        <translation>用户已取消任务</translation>
    </message>
    <message>
        <source>File Cannot Be Read</source>
        <comment>42123</comment>
        <translation>文件无法读取</translation>
    </message>
    <message>
        <source>Line Lost</source>
        <comment>42124</comment>
        <translation>线路中断</translation>
    </message>
    <message>
        <source>Two Channels Error</source>
        <comment>42200</comment>
        <translation>两个通道均失败</translation>
    </message>
    <message>
        <source>Channel One Success, Channel Two Error</source>
        <comment>42201</comment>
        <translation>通道一成功，通道二失败</translation>
    </message>
    <message>
        <source>Channel One Error, Channel Two Success</source>
        <comment>42202</comment>
        <translation>通道一失败，通道二成功</translation>
    </message>
    <message>
        <source>Two Channel Success</source>
        <comment>42203</comment>
        <translation>两个通道均成功</translation>
    </message>
    <message>
        <source>Query Node</source>
        <comment>42301</comment>
        <translation>查询节点</translation>
    </message>
    <message>
        <source>Send File</source>
        <comment>42302</comment>
        <translation>发送文件</translation>
    </message>
    <message>
        <source>Delete File</source>
        <comment>42305</comment>
        <translation>删除文件</translation>
    </message>
    <message>
        <source>Clear File</source>
        <comment>42306</comment>
        <translation>清空文件</translation>
    </message>
    <message>
        <source>Length Cannot Exceeds 20 ASCII Bytes.</source>
        <comment>42400</comment>
        <translation>长度不能超过 20 个 ASCII 字节。</translation>
    </message>
    <message>
        <source>Please Modify</source>
        <comment>42401</comment>
        <translation>请修改</translation>
    </message>
    <message>
        <source>Duplicate File Name</source>
        <comment>42125</comment>
        <translation>文件名重复</translation>
    </message>
    <message>
        <source>Send Made No Progress</source>
        <comment>42126</comment>
        <translation>发送无进展</translation>
    </message>
</context>
<context>
    <name>UserEditDialog</name>
    <message>
        <source>Please Input:</source>
        <translation>请输入：</translation>
    </message>
    <message>
        <source>User Name:</source>
        <translation>用户名：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>Confirm PSW:</source>
        <translation>确认密码：</translation>
    </message>
    <message>
        <source>Right Setting</source>
        <translation>权限设置</translation>
    </message>
    <message>
        <source>Administrator</source>
        <translation>管理员</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>操作员</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>详细</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
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
        <translation>用户管理</translation>
    </message>
    <message>
        <source>User Name</source>
        <translation>用户名</translation>
    </message>
    <message>
        <source>User Class</source>
        <translation>用户类别</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>用户</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Modify</source>
        <translation>修改</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
</context>
</TS>
