/home/ann/report;final.pdf;PDF document;0
/home/ann/Temp/Text.clp;Kestrelcall Clipboard File;1
/home/ann/Temp/OemText.clp;Kestrelcall Clipboard File;7
/home/ann/Business Cards/ann.bmp;Business Card;-1
/tmp/Zoë.txt;Plain, text;0
