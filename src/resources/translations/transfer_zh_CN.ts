<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>varnet::ExportDlg</name>
    <message><source>Export Settings to QR Barcode</source><translation>汇出扫码器 QR 设置码</translation></message>
    <message><source>Export Settings to Configuration File</source><translation>汇出扫码器设置档</translation></message>
    <message><source>Export Settings</source><translation>汇出扫码器设置</translation></message>
    <message><source>Import Settings</source><translation>导入扫码器设置档</translation></message>
    <message><source>Restore Default Settings</source><translation>恢復默認</translation></message>
</context>
</TS>
