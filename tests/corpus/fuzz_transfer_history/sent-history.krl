/home/ann/notes;v2.txt;Text;Mallory,x  /etc/passwd,t,Eve,today;07/12/2026  21:40:00
/r/Zoë.txt;Text;José;Wednesday, 30 September 2026  23:40:59
