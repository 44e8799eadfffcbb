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
