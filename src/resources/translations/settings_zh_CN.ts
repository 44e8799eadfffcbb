<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>varnet::ConfigDlg</name>
    <message><source>FW Version :</source><translation>固件版本 :</translation></message>
    <message><source>S/N :</source><translation>序列号 :</translation></message>
    <message><source>Functions :</source><translation>功能 :</translation></message>
</context>
</TS>
