<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>varnet::OutputFormatDlg</name>
    <message><source>Country Code Page</source><translation>输出格式</translation></message>
    <message><source>Case Conversion</source><translation>大小写转换</translation></message>
    <message><source>Code ID</source><translation>条码识别码</translation></message>
    <message><source>Ending Character</source><translation>结束字元</translation></message>
    <message><source>Barcode Editing</source><translation>条码资料编辑</translation></message>
    <message><source>Truncate Leading Data</source><translation>移除前端字元数</translation></message>
    <message><source>Truncate Ending Data</source><translation>移除后端字元数</translation></message>
    <message><source>Prefix Character(s)</source><translation>前缀字元</translation></message>
    <message><source>Suffix Character(s)</source><translation>后缀字元</translation></message>
    <message><source>Set</source><translation>设置</translation></message>
</context>
<context>
    <name>varnet::TriggerDlg</name>
    <message><source>Pulse Trigger :</source><translation>脉冲触发电位</translation></message>
    <message><source>Start Scan CMD :</source><translation>扫描开使指令</translation></message>
    <message><source>Stop Scan CMD :</source><translation>扫描停止指令</translation></message>
    <message><source> Transmit Bad Read Message</source><translation> 发送解码失败讯息</translation></message>
    <message><source>Bad Read Message :</source><translation>解码失败讯息</translation></message>
    <message><source>Set</source><translation>设置</translation></message>
</context>
</TS>
