<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Chinese texts for the sources that are English (boxes, notices, tool windows, keys, and the few
     English menu captions); the given Chinese captions need none. One message a line. -->
<TS version="2.1" language="zh_CN">
<context>
    <name>Menu</name>
    <message><source>Mouse &amp;Scroll</source><translation>鼠标滚动(&amp;S)</translation></message>
    <message><source>&amp;Deform</source><translation>变形(&amp;D)</translation></message>
    <message><source>&amp;Install to MUGEN</source><translation>安装到 MUGEN(&amp;I)</translation></message>
    <message><source>&amp;Debug</source><translation>调试(&amp;D)</translation></message>
    <message><source>&amp;About</source><translation>关于(&amp;A)</translation></message>
    <message><source>English</source><translation>English</translation></message>
    <message><source>FPS Limiter </source><translation>FPS 限制器 </translation></message>
    <message><source>Use </source><translation>使用 </translation></message>
</context>
<context>
    <name>Keys</name>
    <message><source>Left / Right</source><translation>左 / 右方向键</translation></message>
    <message><source>Move the camera (walk the test character while it is on)</source><translation>移动镜头（使用测试人物时让人物行走）</translation></message>
    <message><source>Up / Down</source><translation>上 / 下方向键</translation></message>
    <message><source>Move the camera up and down</source><translation>上下移动镜头</translation></message>
    <message><source>Z / A</source><translation>Z / A</translation></message>
    <message><source>Smaller / larger camera steps</source><translation>减小 / 增大镜头步长</translation></message>
    <message><source>Pause</source><translation>Pause 键</translation></message>
    <message><source>Pause or run the stage</source><translation>暂停或继续运行背景</translation></message>
    <message><source>Mouse wheel</source><translation>鼠标滚轮</translation></message>
    <message><source>Zoom the camera in / out (stages with a zoom range)</source><translation>放大 / 缩小镜头（有缩放范围的背景）</translation></message>
    <message><source>Drag (editor closed)</source><translation>拖动（编辑器关闭时）</translation></message>
    <message><source>Look around: the camera follows the picture</source><translation>环视：镜头跟随画面移动</translation></message>
    <message><source>Click (editor open)</source><translation>单击（编辑器打开时）</translation></message>
    <message><source>Select the element under the pointer</source><translation>选中指针下的元素</translation></message>
    <message><source>Drag (editor open)</source><translation>拖动（编辑器打开时）</translation></message>
    <message><source>Move the selected element</source><translation>移动选中的元素</translation></message>
    <message><source>Keypad + / - (element selected)</source><translation>小键盘 + / -（已选中元素）</translation></message>
    <message><source>Move the selected element to the front / back</source><translation>把选中的元素移到前层 / 后层</translation></message>
    <message><source>Insert (element selected)</source><translation>Insert（已选中元素）</translation></message>
    <message><source>Clone the selected element</source><translation>复制选中的元素</translation></message>
    <message><source>Delete (element selected)</source><translation>Delete（已选中元素）</translation></message>
    <message><source>Remove the selected element</source><translation>删除选中的元素</translation></message>
    <message><source>Escape</source><translation>Esc</translation></message>
    <message><source>Clear the selection; leave full screen</source><translation>取消选中；退出全屏</translation></message>
    <message><source>Previous stage in the list</source><translation>列表中的上一个背景</translation></message>
    <message><source>Next stage in the list</source><translation>列表中的下一个背景</translation></message>
    <message><source>A stage from the list at random</source><translation>从列表中随机选一个背景</translation></message>
    <message><source>Key Reference</source><translation>按键一览</translation></message>
    <message><source>Keys</source><translation>按键</translation></message>
    <message><source>What they do</source><translation>作用</translation></message>
</context>
<context>
    <name>Messages</name>
    <message><source>Already running..</source><translation>Quillback 已在运行。</translation></message>
    <message><source>Use the demo MUGEN directory installed with Quillback?</source><translation>使用随 Quillback 安装的演示 MUGEN 目录吗？</translation></message>
    <message><source>Browse to your MUGEN directory please so I know where to get stuff.  I won't ask you for it again unless I forget.</source><translation>请选择你的 MUGEN 目录，以便找到背景和人物。只会询问这一次。</translation></message>
    <message><source>Point me to your MUGEN Directory please:&#13;&#10;ex. C:\GAMES\MUGEN</source><translation>请选择 MUGEN 目录：&#13;&#10;例如 ~/games/mugen</translation></message>
    <message><source>Without your MUGEN directory the stage list stays empty.</source><translation>没有 MUGEN 目录，背景列表将是空的。</translation></message>
    <message><source>Choose the folder now?</source><translation>现在选择文件夹吗？</translation></message>
    <message><source>No files.. uh.. </source><translation>这个文件夹里没有背景。</translation></message>
    <message><source>KFM character could not be found for the about screen :(</source><translation>关于画面需要人物 KFM，但没有找到。</translation></message>
    <message><source>The settings file</source><translation>设置文件</translation></message>
    <message><source>is read-only, so the settings of this session were not saved.</source><translation>是只读的，本次的设置没有保存。</translation></message>
    <message><source>Your settings could not be saved to</source><translation>设置无法保存到</translation></message>
    <message><source>The folder may be read-only or the disk full. The settings file that was there before is unchanged.</source><translation>文件夹可能是只读的，或磁盘已满。原来的设置文件没有改变。</translation></message>
    <message><source>Max FPS?</source><translation>帧数上限（每秒帧数）：</translation></message>
    <message><source>Not a stage!</source><translation>这个文件不是背景定义文件。</translation></message>
    <message><source>Only a stage definition (.def) or a stage package (.zip) opens here.</source><translation>这里只能打开背景定义文件（.def）或背景压缩包（.zip）。</translation></message>
    <message><source>Can't find file: </source><translation>找不到文件：</translation></message>
    <message><source>It was taken off the recent files.</source><translation>已从最近文件中移除。</translation></message>
    <message><source>The stage package</source><translation>背景压缩包</translation></message>
    <message><source>The stage definition</source><translation>背景定义文件</translation></message>
    <message><source>is gone (moved, renamed or deleted). The stage on screen stays as it was loaded.</source><translation>已不存在（被移动、改名或删除）。屏幕上的背景保持载入时的样子。</translation></message>
    <message><source>Could not move</source><translation>无法移动</translation></message>
    <message><source>Nothing was deleted.</source><translation>没有删除任何文件。</translation></message>
    <message><source>Are you sure you want to delete this stage (</source><translation>确定要删除这个背景吗（</translation></message>
    <message><source>Are you sure you want to delete this zipped stage (</source><translation>确定要删除这个压缩背景吗（</translation></message>
    <message><source>This file goes to the trash:</source><translation>这个文件将移到回收站：</translation></message>
    <message><source>These files go to the trash:</source><translation>这些文件将移到回收站：</translation></message>
    <message><source>The sprite file</source><translation>图像文件</translation></message>
    <message><source>Choose your stage!</source><translation>选择背景</translation></message>
    <message><source>Choose test character.</source><translation>选择测试人物</translation></message>
    <message><source>Not a Character!</source><translation>这个文件不是人物定义文件。</translation></message>
    <message><source>Choose da music!</source><translation>选择音乐</translation></message>
    <message><source>The snapshot could not be saved in</source><translation>快照无法保存到</translation></message>
    <message><source>The snapshot folder could not be opened:</source><translation>无法打开快照文件夹：</translation></message>
    <message><source>Snapshot saved: </source><translation>快照已保存：</translation></message>
    <message><source>Didn't work for some reason...</source><translation>无法启动文本编辑器。</translation></message>
    <message><source>Tried:</source><translation>尝试过：</translation></message>
    <message><source>To choose the editor, set $VISUAL (or $EDITOR) to a graphical editor, for example VISUAL=gedit, or choose the default application for text files in the desktop's settings.</source><translation>要选择编辑器，请把 $VISUAL（或 $EDITOR）设为图形界面的编辑器，例如 VISUAL=gedit，或在桌面设置中选择文本文件的默认应用。</translation></message>
    <message><source>This stage does not zoom: its [Camera] has no zoomin/zoomout range.</source><translation>这个背景不能缩放：它的 [Camera] 没有 zoomin/zoomout 范围。</translation></message>
    <message><source>Deleted..</source><translation>已删除</translation></message>
    <message><source>Cloned..</source><translation>已复制</translation></message>
    <message><source>Could not write </source><translation>无法写入 </translation></message>
    <message><source>There is no stage to save: open a stage first.</source><translation>没有可保存的背景：请先打开一个背景。</translation></message>
    <message><source>Cannot play </source><translation>无法播放 </translation></message>
    <message><source>This stage was opened from a package; its definition cannot be written back.</source><translation>这个背景是从压缩包打开的，无法写回它的定义文件。</translation></message>
    <message><source>Nothing was changed.</source><translation>没有任何改动。</translation></message>
    <message><source>The background editor's changes to </source><translation>背景编辑器对以下文件的改动：</translation></message>
    <message><source>This stage was opened from the package</source><translation>这个背景是从以下压缩包打开的</translation></message>
    <message><source>Update the copy?</source><translation>更新这个副本吗？</translation></message>
    <message><source>Nothing was written.</source><translation>没有写入任何内容。</translation></message>
    <message><source>Nothing was written. </source><translation>没有写入任何内容。</translation></message>
    <message><source>Write</source><translation>写入</translation></message>
    <message><source>Write mine</source><translation>写入我的版本</translation></message>
    <message><source>COULD NOT BE FOUND!</source><translation>找不到！</translation></message>
    <message><source>It is a folder, not a file.</source><translation>这是一个文件夹，不是文件。</translation></message>
    <message><source>The file cannot be read as a zip archive, or it holds no files.</source><translation>这个文件无法作为 zip 压缩包读取，或其中没有文件。</translation></message>
    <message><source>The file has no [Camera] section, so it is not a stage definition.</source><translation>这个文件没有 [Camera] 段，所以不是背景定义文件。</translation></message>
    <message><source>The package itself is not changed: the new music goes into the extracted copy of its definition and lasts until the stage is closed.</source><translation>压缩包本身不会改变：新的音乐写入解压出的定义文件副本，直到关闭背景为止。</translation></message>
    <message><source>The stage on screen stays as it was loaded.</source><translation>屏幕上的背景保持载入时的样子。</translation></message>
    <message><source>Your edit makes it:</source><translation>你的修改使它变为：</translation></message>
    <message><source>Your edit adds at the end of the section:</source><translation>你的修改在这一段末尾加上：</translation></message>
    <message><source>The file had been changed by another program since the stage was loaded: its changes </source><translation>这个文件在背景载入后被其他程序改动过：它的改动 </translation></message>
    <message><source>pos=0</source><translation>pos=0</translation></message>
    <message><source>DOOM FIX</source><translation>DOOM FIX</translation></message>
    <message><source>OK</source><translation>确定</translation></message>
    <message><source>Cancel</source><translation>取消</translation></message>
    <message><source>Yes</source><translation>是</translation></message>
    <message><source>No</source><translation>否</translation></message>
    <message><source>Discard</source><translation>放弃</translation></message>
    <message><source>Keep theirs</source><translation>保留文件中的版本</translation></message>
    <message><source>No stage is open.</source><translation>没有打开背景。</translation></message>
    <message><source>Drop a stage's .def or .zip here,</source><translation>把背景的 .def 或 .zip 拖到这里，</translation></message>
    <message><source>open one from the first menu (Ctrl+O),</source><translation>或从第一个菜单打开（Ctrl+O），</translation></message>
    <message><source>or pick one from the stage list</source><translation>或从背景目录中选择</translation></message>
    <message><source>(Stage List, on the menu bar).</source><translation>（菜单栏上的“背景目录”）。</translation></message>
    <message><source>Choose test character (P2).</source><translation>选择第二测试人物 (P2)</translation></message>
    <message><source>Install Package</source><translation>安装背景包</translation></message>
    <message><source>Stage packages</source><translation>背景包</translation></message>
    <message><source>A package is installed into the MUGEN directory; set it first (Options, Set MUGEN Directory).</source><translation>背景包安装在 MUGEN 目录中；请先设置它（选项，设置 MUGEN 目录）。</translation></message>
    <message><source>The MUGEN directory has no stages folder:</source><translation>MUGEN 目录中没有 stages 文件夹：</translation></message>
    <message><source>The package was not installed.</source><translation>背景包未安装。</translation></message>
    <message><source>A stage folder of that name exists already:</source><translation>同名的背景文件夹已经存在：</translation></message>
    <message><source>Replace the installed stage?</source><translation>替换已安装的背景吗？</translation></message>
    <message><source>is there already. Its files are replaced by the package's.</source><translation>已经存在。其中的文件将被背景包中的文件替换。</translation></message>
    <message><source>Package installed:</source><translation>背景包已安装：</translation></message>
    <message><source>Not installed:</source><translation>未安装：</translation></message>
    <message><source>Add the stage to the stage-select list?</source><translation>将背景加入选择背景列表吗？</translation></message>
    <message><source>The list is kept as select.def.bak.</source><translation>原列表保存为 select.def.bak。</translation></message>
    <message><source>The package holds no stage definition (a .def file with a [Camera] section). It was not installed.</source><translation>背景包中没有背景定义（带有 [Camera] 段的 .def 文件）。未安装。</translation></message>
    <message><source>The stage file no longer matches the loaded stage</source><translation>背景文件与已载入的背景不再一致</translation></message>
    <message><source>Elements were added or removed; the stage file cannot be matched to them</source><translation>元素已被添加或删除，背景文件无法与它们对应</translation></message>
    <message><source>The drawing order does not name each element once; nothing was written</source><translation>绘制顺序没有把每个元素恰好列出一次，未写入任何内容</translation></message>
    <message><source>The stage file has no [Camera] section</source><translation>背景文件没有 [Camera] 段</translation></message>
    <message><source>Cannot read </source><translation>无法读取 </translation></message>
    <message><source>Cannot write </source><translation>无法写入 </translation></message>
    <message><source>Cannot keep the previous file as </source><translation>无法把原文件保存为 </translation></message>
    <message><source>Elements were removed or copied since the stage started; use Save Changes instead</source><translation>背景开始后有元素被删除或复制，请改用“保存改动”</translation></message>
    <message><source>Some files of the package</source><translation>背景包中有些文件</translation></message>
    <message><source>were not extracted:</source><translation>没有解压：</translation></message>
    <message><source>Package entry </source><translation>背景包条目 </translation></message>
    <message><source>The package holds no stage definition (.def file).</source><translation>背景包中没有背景定义（.def 文件）。</translation></message>
    <message><source>Its definition </source><translation>其中的定义 </translation></message>
    <message><source>No private folder could be made in </source><translation>无法建立私有文件夹：</translation></message>
</context>
<context>
    <name>Tools</name>
    <message><source>BG</source><translation>背景编辑器</translation></message>
    <message><source>SFF</source><translation>图像浏览器</translation></message>
    <message><source>Error Log</source><translation>错误日志</translation></message>
    <message><source>Choose Music</source><translation>选择音乐</translation></message>
    <message><source>Changes saved...</source><translation>改动已保存。</translation></message>
    <message><source>Current music file:</source><translation>当前音乐文件：</translation></message>
    <message><source>Volume:                        (Default is 0, which is 50%)</source><translation>音量，即 bgvolume（-255 至 255；默认 0，即 50%）：</translation></message>
    <message><source>Keep in mind volume is relative to the master volume!</source><translation>注意：音量是相对于主音量的！</translation></message>
    <message><source>Browse</source><translation>浏览...</translation></message>
    <message><source>Play</source><translation>播放</translation></message>
    <message><source>Update DEF</source><translation>更新 DEF</translation></message>
    <message><source>Go</source><translation>转到</translation></message>
    <message><source>Mask</source><translation>遮罩</translation></message>
    <message><source>Update</source><translation>更新</translation></message>
    <message><source>Auto Bound</source><translation>自动边界</translation></message>
    <message><source>Save Changes</source><translation>保存改动</translation></message>
    <message><source>Show Def</source><translation>显示 Def</translation></message>
    <message><source>Music</source><translation>音乐</translation></message>
    <message><source>Command6</source><translation>保存为 stage.def</translation></message>
    <message><source>Saves the stage on screen as stage.def in the data folder: the positions as edited, settings equal to their defaults left out (Save Changes writes test.def).</source><translation>把屏幕上的背景保存为数据文件夹中的 stage.def：位置按编辑后的值，与默认值相同的设置省略（“保存改动”写入 test.def）。</translation></message>
    <message><source>Write to stage file</source><translation>写回背景文件</translation></message>
    <message><source>Save PNG...</source><translation>保存 PNG...</translation></message>
    <message><source>Elements</source><translation>元素</translation></message>
    <message><source>Hide</source><translation>隐藏</translation></message>
    <message><source>Solo</source><translation>单独显示</translation></message>
    <message><source>Back layer</source><translation>后层</translation></message>
    <message><source>Front layer</source><translation>前层</translation></message>
    <message><source>Not drawn in the preview (the stage file is not changed)</source><translation>预览中不绘制（不改动背景文件）</translation></message>
    <message><source>Only soloed rows are drawn in the preview</source><translation>预览中只绘制单独显示的行</translation></message>
    <message><source>No such sprite.</source><translation>没有这个精灵。</translation></message>
    <message><source>The sprite could not be saved.</source><translation>精灵无法保存。</translation></message>
</context>
</TS>
