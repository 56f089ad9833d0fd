/* Quorvex skin: a Qt style sheet, applied when this file is present. */

QPushButton {
    color: #1d2b3a;
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfdfd, stop:1 #dfe6ee);
    border: 1px solid #8a9bb0;
    border-radius: 4px;
    padding: 2px 8px;
}

QPushButton:hover {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #cfe0f5);
    border-color: #3d7cc9;
}

QPushButton:pressed {
    background-color: #b9d2f0;
    border-color: #2a5f9e;
}

QPushButton:focus {
    border: 2px solid #3d7cc9;
}

QGroupBox {
    border: 1px solid #a9b6c6;
    border-radius: 4px;
    margin-top: 10px;
}

QGroupBox::title {
    subcontrol-origin: margin;
    left: 8px;
    padding: 0 3px;
    color: #1d2b3a;
}

QHeaderView::section {
    color: #1d2b3a;
    background-color: #e6ecf3;
    border: none;
    border-bottom: 1px solid #a9b6c6;
    padding: 2px 4px;
}

QProgressBar {
    color: #1d2b3a;
    background-color: #ffffff;
    border: 1px solid #8a9bb0;
    border-radius: 4px;
    text-align: center;
}

QProgressBar::chunk {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8fc1f2, stop:1 #4a8fd8);
    border-radius: 3px;
}

QTreeView, QPlainTextEdit, QLineEdit {
    border: 1px solid #8a9bb0;
    selection-background-color: #3d7cc9;
    selection-color: #ffffff;
}
