<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Message</name>
    <message><source>Please update scanner to support fully functions !</source><translation>部分功能无法正常使用 , 请更新扫描器固件 !</translation></message>
    <message><source>Connect Failed</source><translation>连线失败</translation></message>
    <message><source>Save All Settings ?</source><translation>保存所有设置 ?</translation></message>
    <message><source>Settings Saved Successfully</source><translation>保存成功</translation></message>
    <message><source>Save Failed</source><translation>保存失败</translation></message>
    <message><source>Disconnected</source><translation>连线中断</translation></message>
    <message><source>Scanner will be reboot after saving the settings.</source><translation>保存设置后会自动重启扫描器启用新介面</translation></message>
    <message><source>Set Successfully</source><translation>设置成功</translation></message>
    <message><source>Set Failed</source><translation>设置失败</translation></message>
    <message><source>Open File Failed!</source><translation>无法开启档案 !</translation></message>
    <message><source>Incorrect Configuration File !</source><translation>档案格式错误 !</translation></message>
    <message><source>Configuration file is not for this scanner !</source><translation>掃描器不支持此設定檔 !</translation></message>
    <message><source>Scanner does not support this feature !</source><translation>扫描器不支持此功能 !</translation></message>
    <message><source>Transmit Failed !</source><translation>传送失败</translation></message>
    <message><source>File Transmit Failed !</source><translation>档案传送失败</translation></message>
    <message><source>Settings Imported Successfully</source><translation>导入成功</translation></message>
    <message><source>Settings Exported Successfully</source><translation>汇出成功</translation></message>
    <message><source>Export Failed</source><translation>汇出失败</translation></message>
    <message><source>Restore Successfully</source><translation>恢復默認设置</translation></message>
</context>
<context>
    <name>Reason</name>
    <message><source>The port does not exist (the scanner may have been unplugged).</source><translation>连接埠不存在 (扫描器可能已被拔除)。</translation></message>
    <message><source>Permission denied: add your user to the dialout group, or install the udev rule for the scanner.</source><translation>权限不足：请将您的用户加入 dialout 群组，或安装扫描器的 udev 规则。</translation></message>
    <message><source>The port is in use by another program (for example ModemManager or another Varnet).</source><translation>连接埠正被其他程序使用 (例如 ModemManager 或另一个 Varnet)。</translation></message>
    <message><source>This is not a serial port.</source><translation>这不是序列埠。</translation></message>
    <message><source>The port refused the line settings.</source><translation>连接埠不接受通讯设置。</translation></message>
    <message><source>The port cannot be opened: %1.</source><translation>无法开启连接埠：%1。</translation></message>
    <message><source>The folder does not exist.</source><translation>资料夹不存在。</translation></message>
    <message><source>Permission denied: the file cannot be written there.</source><translation>权限不足：无法在此写入档案。</translation></message>
    <message><source>The file system is read-only.</source><translation>档案系统为唯读。</translation></message>
    <message><source>The disk is full.</source><translation>磁碟已满。</translation></message>
    <message><source>The file cannot be written: %1.</source><translation>无法写入档案：%1。</translation></message>
    <message><source>The settings are too large for a QR code.</source><translation>设置资料太大，无法放入 QR 码。</translation></message>
    <message><source>The QR code cannot be made: %1.</source><translation>无法产生 QR 码：%1。</translation></message>
    <message><source>The scanner did not send its settings.</source><translation>扫描器没有送出设置。</translation></message>
    <message><source>The scanner did not send its format block.</source><translation>扫描器没有送出输出格式设置。</translation></message>
    <message><source>The scanner stopped sending before the block was complete.</source><translation>扫描器在资料区块传送完成前停止传送。</translation></message>
    <message><source>The scanner refused to send its settings.</source><translation>扫描器拒绝送出设置。</translation></message>
    <message><source>The scanner sent a block that is too long.</source><translation>扫描器送出的资料区块过长。</translation></message>
    <message><source>The scanner sent something other than its settings.</source><translation>扫描器送出的不是设置资料。</translation></message>
    <message><source>The connection to the scanner was lost.</source><translation>与扫描器的连线已中断。</translation></message>
</context>
<context>
    <name>varnet::CVarnetDlg</name>
    <message><source>Image Mode  ( USB Port Only )</source><translation>影像模式 (USB 接口)</translation></message>
    <message><source>Setting Mode</source><translation>设置模式</translation></message>
    <message><source>Search</source><translation>搜寻</translation></message>
    <message><source>Connect</source><translation>连线</translation></message>
    <message><source>    Scan Barcode </source><translation>    扫描条码</translation></message>
    <message><source>Connect to Scanner</source><translation> 设定连线模式</translation></message>
    <message><source>Scan Settings</source><translation>扫描设置</translation></message>
    <message><source>Decode Settings</source><translation>解码设置</translation></message>
    <message><source>Symbologies</source><translation>条码设置</translation></message>
    <message><source>Interface</source><translation>介面设置</translation></message>
    <message><source>Output Settings</source><translation>输出设置</translation></message>
    <message><source>Trigger Settings</source><translation>触发设置</translation></message>
    <message><source>Export / Import Settings</source><translation>汇出 / 导入设置</translation></message>
</context>
</TS>
