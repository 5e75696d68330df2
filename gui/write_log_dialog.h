#pragma once
// "Show Write Log...": the record of every setup written, which timer got which setup, as a
// read-only table, newest first.

class QWidget;

void showWriteLog(QWidget* parent);
