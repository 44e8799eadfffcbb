<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>varnet::ExportDlg</name>
    <message><source>Export Settings to QR Barcode</source><translation>汇出扫码器 QR 设置码</translation></message>
    <message><source>Export Settings to Configuration File</source><translation>汇出扫码器设置档</translation></message>
    <message><source>Export Settings to Printable Sheet (PDF)</source><translation>汇出扫码器设置码打印页 (PDF)</translation></message>
    <message><source>Export Settings</source><translation>汇出扫码器设置</translation></message>
    <message><source>Import Settings</source><translation>导入扫码器设置档</translation></message>
    <message><source>Restore Default Settings</source><translation>恢復默認</translation></message>
</context>
<context>
    <name>varnet::SettingsSheet</name>
    <message><source>Settings Barcodes</source><translation>扫码器设置码</translation></message>
    <message><source>Model</source><translation>型号</translation></message>
    <message><source>%1 (model code %2)</source><translation>%1（型号代码 %2）</translation></message>
    <message><source>Firmware</source><translation>固件版本</translation></message>
    <message><source>Serial number</source><translation>序列号</translation></message>
    <message><source>Date</source><translation>日期</translation></message>
    <message><source>Scan in this order: first 1 of 2, then 2 of 2.</source><translation>请按此顺序扫描：先扫设置码 1/2，再扫设置码 2/2。</translation></message>
    <message><source>1 of 2</source><translation>设置码 1/2</translation></message>
    <message><source>2 of 2</source><translation>设置码 2/2</translation></message>
    <message><source>Device configuration (parameter block)</source><translation>设备配置（参数区块）</translation></message>
    <message><source>Output data format (format block)</source><translation>输出资料格式（格式区块）</translation></message>
    <message><source>Settings these barcodes carry</source><translation>设置码所含设置</translation></message>
    <message><source>(none)</source><translation>（无）</translation></message>
    <message><source>%1 (continued)</source><translation>%1（续）</translation></message>
    <message><source>Varnet settings sheet: %1, serial number %2. Page %3 of %4</source><translation>Varnet 设置码页：%1，序列号 %2。第 %3 页，共 %4 页</translation></message>
    <message><source>Scan Settings</source><translation>扫描设置</translation></message>
    <message><source>Decode Settings</source><translation>解码设置</translation></message>
    <message><source>Symbologies</source><translation>条码设置</translation></message>
    <message><source>Interface</source><translation>介面设置</translation></message>
    <message><source>Output Settings</source><translation>输出设置</translation></message>
    <message><source>Trigger Settings</source><translation>触发设置</translation></message>
    <message><source>Country Code Page</source><translation>输出格式</translation></message>
    <message><source>Case Conversion</source><translation>大小写转换</translation></message>
    <message><source>Code ID</source><translation>条码识别码</translation></message>
    <message><source>Ending Character</source><translation>结束字元</translation></message>
    <message><source>Truncate Leading Data</source><translation>移除前端字元数</translation></message>
    <message><source>Truncate Ending Data</source><translation>移除后端字元数</translation></message>
    <message><source>Prefix</source><translation>前缀字元</translation></message>
    <message><source>Suffix</source><translation>后缀字元</translation></message>
    <message><source>Pulse Trigger</source><translation>脉冲触发电位</translation></message>
    <message><source>Start Scan CMD</source><translation>扫描开使指令</translation></message>
    <message><source>Stop Scan CMD</source><translation>扫描停止指令</translation></message>
    <message><source>Transmit Bad Read Message</source><translation>发送解码失败讯息</translation></message>
    <message><source>Bad Read Message</source><translation>解码失败讯息</translation></message>
</context>
</TS>
