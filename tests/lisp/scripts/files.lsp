;;; case file-and-directory-queries
; the driver creates lsp_probe.txt and lsp_probe_dir in the working directory
(list (fileexist "lsp_probe.txt") (fileexist "lsp_nothere.txt") (fileexist "lsp_probe_dir"))
;; => (T NIL NIL)
(list (direxist "lsp_probe_dir") (direxist "lsp_probe.txt") (direxist "lsp_probe_dir/"))
;; => (T NIL T)
(fileexist 'lsp_probe.txt)
;; => *
;; err 0xE03A
;; msg lsp_probe.txt
(> (diskspace ".") 0)
;; => T
(diskspace "Q:\\no\\such\\drive")
;; => 0

;;; case splitpath
(list (splitpath "C:\\a\\b\\c.txt" 1) (splitpath "C:\\a\\b\\c.txt" 3) (splitpath "C:\\a\\b\\c.txt" 3 1))
;; => ("C:" "c.txt" "c")
(list (splitpath "C:\\a\\b\\c.txt" 2 1) (splitpath "C:\\a\\b\\c.txt" 2 2) (splitpath "C:\\a\\b\\c.txt" 2 3))
;; => ("a" "b" "")
(splitpath "C:/a/b/c.txt" 9 5)
;; => .txt
(strstr (splitpath "lsp_probe.txt" 2) "\\bin\\")
;; => *
(splitpath "lsp_probe.txt" 3)
;; => lsp_probe.txt

;;; case unc-names
(mapuncfilename "c:\\plain\\x")
;; => c:\\plain\\x
(mapuncfilename 1)
;; => *
;; err 0xE03A

;;; case date-texts
(setq d (coerce "$DT730119.5" 'datetime))
(s= (date2str d) (substr (datetimestamp d) 1 (strlen (date2str d))))
;; => T
(strstr (datetimestamp d) (strcat (date2str d) "  " (time2str d)))
;; => 1
(datetimestamp 5)
;; => *
;; err 0xE03A
(coerce (str2date (date2str d)) 'integer)
;; => 730119
(type-of (str2time (time2str d)))
;; => datetime
(str2date "no date here")
;; => NIL
(str2date 5)
;; => *
;; err 0xE03A

;;; case write-and-read-back
(setq h (fopen "lsp_io.txt" 1))
;; => 10
(fputs h "line one" "line two")
;; => T
(fwrite h "tail" 42)
;; => T
(fclose h)
;; => T
(setq h (fopen "lsp_io.txt"))
;; => 10
(fgets h)
;; => line one
(fread h 4)
;; => line
(list (fseek h 0) (fread h 4) (ftell h))
;; => (0 "line" 4)
(fseek h 0 2)
;; => 26
(feof h)
;; => T
(list (fseek h 3) (feof h) (ftell h))
;; => (3 NIL 3)
(fclose h)
;; => T
(fclose h)
;; => *
;; err 0xE02D
(fclose 9)
;; => *
;; err 0xE02D
;; msg 9
(setq h (fopen "lsp_io.txt" 2))
(fwrite h "!")
(fclose h)
(setq h (fopen "lsp_io.txt"))
(fseek h 0 2)
;; => 27
(fclose h)
(fopen "lsp_nothere.txt")
;; => NIL
(fopen "lsp_io.txt" 7)
;; => *
;; err 87
(filedelete "lsp_io.txt")
;; => T

;;; case handle-numbers-that-name-no-file
(fclose -2147483648)
;; => *
;; err 0xE02D
;; msg -2147483648
(ftell 2147483647)
;; => *
;; err 0xE02D
(fread 10 1)
;; => *
;; err 0xE02D
(fwrite "h" "x")
;; => *
;; err 0xE02D

;;; case eleventh-open-file
(setq n 0)
(setq hs nil)
(while (< n 10) (setq hs (cons (fopen "lsp_probe.txt") hs)) (setq n (+ n 1)))
(car hs)
;; => 19
(fopen "lsp_probe.txt")
;; => NIL
(fclose 14)
(fopen "lsp_probe.txt")
;; => 14

;;; case file-operations
(setq h (fopen "lsp_ops.txt" 1))
(fwrite h "data")
(fclose h)
(list (filecopy "lsp_ops.txt" "lsp_ops2.txt") (fileexist "lsp_ops2.txt"))
;; => (T T)
(list (filerename "lsp_ops2.txt" "lsp_ops3.txt") (fileexist "lsp_ops2.txt") (fileexist "lsp_ops3.txt"))
;; => (T NIL T)
(list (filemove "lsp_ops3.txt" "lsp_ops4.txt") (filedelete "lsp_ops4.txt") (filedelete "lsp_ops4.txt"))
;; => (T T NIL)
(list (mkdir "lsp_tmpdir") (direxist "lsp_tmpdir") (rmdir "lsp_tmpdir") (direxist "lsp_tmpdir"))
;; => (T T T NIL)
(filedelete "lsp_ops.txt")
;; => T
(strlen (shortfilename "lsp_probe.txt"))
;; => *
(fileexist "lsp_short_created.txt")
;; => NIL
(shortfilename "lsp_short_created.txt" t)
;; => *
(fileexist "lsp_short_created.txt")
;; => NIL
