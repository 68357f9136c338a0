<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- English captions. Each source is a caption exactly as the program holds it (the access-key
     mark "&" written &amp;); one message a line, so a new item is one more line. -->
<TS version="2.1" language="en">
<context>
    <name>Menu</name>
    <message><source>&amp; 背景</source><translation>&amp;Stage</translation></message>
    <message><source>&amp; 打开</source><translation>&amp;Open...</translation></message>
    <message><source>安装背景包...</source><translation>&amp;Install Package...</translation></message>
    <message><source>&amp; 关闭</source><translation>&amp;Close</translation></message>
    <message><source>&amp;重置背景</source><translation>Re&amp;set Stage</translation></message>
    <message><source>刷&amp;新背景</source><translation>&amp;Reload Stage</translation></message>
    <message><source>&amp;删除背景</source><translation>&amp;Delete Stage</translation></message>
    <message><source>&amp;退出</source><translation>E&amp;xit</translation></message>
    <message><source>&amp; 编辑</source><translation>&amp;Edit</translation></message>
    <message><source>&amp;撤销</source><translation>&amp;Undo</translation></message>
    <message><source>&amp;重做</source><translation>&amp;Redo</translation></message>
    <message><source>撤销移动</source><translation>&amp;Undo Move</translation></message>
    <message><source>撤销更新</source><translation>&amp;Undo Update</translation></message>
    <message><source>撤销更改顺序</source><translation>&amp;Undo Order Change</translation></message>
    <message><source>撤销更改图层</source><translation>&amp;Undo Layer Change</translation></message>
    <message><source>撤销复制元素</source><translation>&amp;Undo Clone Element</translation></message>
    <message><source>撤销删除元素</source><translation>&amp;Undo Delete Element</translation></message>
    <message><source>重做移动</source><translation>&amp;Redo Move</translation></message>
    <message><source>重做更新</source><translation>&amp;Redo Update</translation></message>
    <message><source>重做更改顺序</source><translation>&amp;Redo Order Change</translation></message>
    <message><source>重做更改图层</source><translation>&amp;Redo Layer Change</translation></message>
    <message><source>重做复制元素</source><translation>&amp;Redo Clone Element</translation></message>
    <message><source>重做删除元素</source><translation>&amp;Redo Delete Element</translation></message>
    <message><source>&amp; 选项</source><translation>&amp;Options</translation></message>
    <message><source>&amp;全屏（ESC退出）</source><translation>&amp;Full Screen (Esc to leave)</translation></message>
    <message><source>&amp;音乐</source><translation>&amp;Music</translation></message>
    <message><source>更改音乐&amp;</source><translation>C&amp;hange Music...</translation></message>
    <message><source>&amp;使用测试人物</source><translation>&amp;Use Test Character</translation></message>
    <message><source>&amp;更改人物</source><translation>Change &amp;Character...</translation></message>
    <message><source>第二人物 (P2)</source><translation>Second Character (P2)</translation></message>
    <message><source>更改人物 (P2)...</source><translation>Change Character (P2)...</translation></message>
    <message><source>FPS &amp; 限制器</source><translation>FPS &amp;Limiter</translation></message>
    <message><source>显示 &amp;信息</source><translation>Show &amp;Info</translation></message>
    <message><source>Mouse &amp;Scroll</source><translation>Mouse &amp;Scroll</translation></message>
    <message><source>&amp;Deform</source><translation>&amp;Deform</translation></message>
    <message><source>调&amp;试  BG</source><translation>Debu&amp;g BG</translation></message>
    <message><source>背景&amp;编辑器...</source><translation>&amp;Background Editor...</translation></message>
    <message><source>&amp;Install to MUGEN</source><translation>&amp;Install to MUGEN</translation></message>
    <message><source>显示 &amp;错误日志</source><translation>Show &amp;Error Log</translation></message>
    <message><source>用记事本打开DEF&amp;文件</source><translation>Open DEF in &amp;Text Editor</translation></message>
    <message><source>设置 &amp;MUGEN 目录...</source><translation>Set MUGEN Di&amp;rectory...</translation></message>
    <message><source>&amp; 暂停</source><translation>&amp;Pause</translation></message>
    <message><source>快照</source><translation>S&amp;napshot</translation></message>
    <message><source>缩放</source><translation>&amp;Window Size</translation></message>
    <message><source>重置镜头缩放</source><translation>Reset the Camera Zoom</translation></message>
    <message><source>速度与单步</source><translation>Spee&amp;d and Stepping</translation></message>
    <message><source>快照设置</source><translation>Sn&amp;apshot Settings</translation></message>
    <message><source>目录与刷新</source><translation>Folders and &amp;Reload</translation></message>
    <message><source>语言</source><translation>Displa&amp;y Language</translation></message>
    <message><source>快照存为 PNG</source><translation>Save Snapshots as PNG</translation></message>
    <message><source>快照包含信息</source><translation>Snapshots Include the Info Overlay</translation></message>
    <message><source>布局叠加</source><translation>Stage Setup and O&amp;verlays</translation></message>
    <message><source>镜头范围</source><translation>Camera Reach (Bounds)</translation></message>
    <message><source>屏幕边缘</source><translation>Screen Edges</translation></message>
    <message><source>玩家起点</source><translation>Player Starts and Facing</translation></message>
    <message><source>移动边界</source><translation>Player Movement Bounds</translation></message>
    <message><source>地面线</source><translation>Floor Line</translation></message>
    <message><source>所选元素框</source><translation>Selected Element's Box, Axis and Window</translation></message>
    <message><source>打开快照文件夹</source><translation>Open the Snapshot Folder</translation></message>
    <message><source>文件改动时自动刷新</source><translation>Reload When Files Change</translation></message>
    <message><source>单步</source><translation>Step One Frame</translation></message>
    <message><source>速度 ¼x</source><translation>Speed ¼x</translation></message>
    <message><source>速度 ½x</source><translation>Speed ½x</translation></message>
    <message><source>速度 1x</source><translation>Speed 1x</translation></message>
    <message><source>速度 2x</source><translation>Speed 2x</translation></message>
    <message><source>速度 4x</source><translation>Speed 4x</translation></message>
    <message><source>中文</source><translation>中文</translation></message>
    <message><source>English</source><translation>English</translation></message>
    <message><source>&amp;背景目录</source><translation>Stage &amp;List</translation></message>
    <message><source>&amp;Debug</source><translation>&amp;Debug</translation></message>
    <message><source>&amp;About</source><translation>&amp;About</translation></message>
    <message><source>适应窗口</source><translation>&amp;Fit to Window</translation></message>
    <message><source>平滑缩放</source><translation>S&amp;mooth Scaling</translation></message>
    <message><source>镜头缩放</source><translation>Camera &amp;Zoom</translation></message>
    <message><source>放大镜头</source><translation>Zoom &amp;In</translation></message>
    <message><source>缩小镜头</source><translation>Zoom &amp;Out</translation></message>
    <message><source>减速</source><translation>&amp;Slower</translation></message>
    <message><source>加速</source><translation>&amp;Faster</translation></message>
    <message><source>帮助</source><translation>&amp;Help</translation></message>
    <message><source>按键一览</source><translation>&amp;Key Reference</translation></message>
</context>
<context>
    <name>Tools</name>
    <message><source>BG</source><translation>Background Editor</translation></message>
    <message><source>SFF</source><translation>Sprite Browser</translation></message>
    <message><source>Error Log</source><translation>Error Log</translation></message>
    <message><source>Choose Music</source><translation>Choose Music</translation></message>
    <message><source>Changes saved...</source><translation>Changes saved...</translation></message>
    <message><source>Current music file:</source><translation>Current music file:</translation></message>
    <message><source>Volume:                        (Default is 0, which is 50%)</source><translation>Volume, as bgvolume (-255 to 255; 0, the default, is 50%):</translation></message>
    <message><source>Keep in mind volume is relative to the master volume!</source><translation>Keep in mind volume is relative to the master volume!</translation></message>
    <message><source>Browse</source><translation>Browse...</translation></message>
    <message><source>Play</source><translation>Play</translation></message>
    <message><source>Update DEF</source><translation>Update DEF</translation></message>
    <message><source>Go</source><translation>Go</translation></message>
    <message><source>Save PNG...</source><translation>Save PNG...</translation></message>
    <message><source>Elements</source><translation>Elements</translation></message>
    <message><source>Hide</source><translation>Hide</translation></message>
    <message><source>Solo</source><translation>Solo</translation></message>
    <message><source>Back layer</source><translation>Back layer</translation></message>
    <message><source>Front layer</source><translation>Front layer</translation></message>
    <message><source>Not drawn in the preview (the stage file is not changed)</source><translation>Not drawn in the preview (the stage file is not changed)</translation></message>
    <message><source>Only soloed rows are drawn in the preview</source><translation>Only soloed rows are drawn in the preview</translation></message>
    <message><source>筛选：名称、作者、文件</source><translation>Filter: name, author, file</translation></message>
    <message><source>文件</source><translation>File</translation></message>
    <message><source>名称</source><translation>Name</translation></message>
    <message><source>作者</source><translation>Author</translation></message>
    <message><source>日期</source><translation>Date</translation></message>
    <message><source>类型</source><translation>Kind</translation></message>
    <message><source>排序</source><translation>Sort by</translation></message>
    <message><source>缩略图</source><translation>Grid</translation></message>
    <message><source>列表或缩略图</source><translation>List or thumbnails</translation></message>
</context>
<context>
    <name>Messages</name>
    <message><source>Already running..</source><translation>Quillback is already running.</translation></message>
    <message><source>Not a stage!</source><translation>This file is not a stage definition.</translation></message>
    <message><source>Can't find file: </source><translation>Cannot find the file:</translation></message>
    <message><source>Didn't work for some reason...</source><translation>The text editor could not be started.</translation></message>
    <message><source>Browse to your MUGEN directory please so I know where to get stuff.  I won't ask you for it again unless I forget.</source><translation>Choose your MUGEN directory, so that Quillback finds its stages and characters. You are asked only once.</translation></message>
    <message><source>Point me to your MUGEN Directory please:&#13;&#10;ex. C:\GAMES\MUGEN</source><translation>Choose the MUGEN directory:&#13;&#10;for example ~/games/mugen</translation></message>
    <message><source>No files.. uh.. </source><translation>There are no stages in this folder.</translation></message>
    <message><source>Not a Character!</source><translation>This file is not a character definition.</translation></message>
    <message><source>Max FPS?</source><translation>Frame limit (frames per second):</translation></message>
    <message><source>KFM character could not be found for the about screen :(</source><translation>The about screen needs the character KFM, which was not found.</translation></message>
    <message><source>Write</source><translation>Write</translation></message>
    <message><source>Write mine</source><translation>Write mine</translation></message>
    <message><source>Keep theirs</source><translation>Keep theirs</translation></message>
    <message><source>Install Package</source><translation>Install Package</translation></message>
    <message><source>Stage packages</source><translation>Stage packages</translation></message>
    <message><source>Package installed:</source><translation>The package was installed:</translation></message>
    <message><source>Replace the installed stage?</source><translation>Replace the installed stage?</translation></message>
    <message><source>Add the stage to the stage-select list?</source><translation>Add the stage to the engine's stage-select list?</translation></message>
    <message><source>A stage folder of that name exists already:</source><translation>A stage folder of that name exists already:</translation></message>
    <message><source>The MUGEN directory has no stages folder:</source><translation>The MUGEN directory has no stages folder:</translation></message>
    <message><source>A package is installed into the MUGEN directory; set it first (Options, Set MUGEN Directory).</source><translation>A package is installed into the MUGEN directory; set it first (Options, Set MUGEN Directory).</translation></message>
</context>
</TS>
