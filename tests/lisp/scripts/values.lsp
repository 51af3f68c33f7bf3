;;; case a-copy-is-independent-of-its-source
(setq a '(1 (2 3) 4))
(setq b a)
(setq b (cons 0 b))
a
;; => (1 (2 3) 4)
b
;; => (0 1 (2 3) 4)
(setq c (cdr a))
(setq a nil)
c
;; => ((2 3) 4)
(car c)
;; => (2 3)
b
;; => (0 1 (2 3) 4)

;;; case path-assignment-leaves-other-copies-alone
(setq cfg '((name "x") (size 3) (sub (deep 1))))
(setq old cfg)
(setq cfg:size 5)
(setq cfg:sub:deep 2)
old
;; => ((name "x") (size 3) (sub (deep 1)))
cfg:size
;; => 5
cfg:sub:deep
;; => 2
old:sub:deep
;; => 1

;;; case setassoc-and-append-build-new-lists
(setq al '((a 1) (b 2)))
(setq al2 (setassoc 'a al 9))
al
;; => ((a 1) (b 2))
(setq l1 '(1 2))
(setq l2 (append l1 '(3)))
l1
;; => (1 2)
l2
;; => (1 2 3)

;;; case quoted-results-outlive-their-function
(defun k () '(1 (2) 3))
(setq q (k))
(defun k () '(9))
q
;; => (1 (2) 3)
(k)
;; => (9)
(freeq k)
q
;; => (1 (2) 3)

;;; case rest-lists-and-locals
(defun rst (&rest xs) xs)
(setq z (rst 1 2 3))
(setq z2 (cons 0 z))
z
;; => (1 2 3)
z2
;; => (0 1 2 3)
(defun grow (x / acc) (setq acc (list x)) (setq acc (cons x acc)) acc)
(grow z)
;; => ((1 2 3) (1 2 3))
z
;; => (1 2 3)

;;; case empty-lists-inside-stored-values-become-nil
(read-from-string "(1 ())")
;; => (1 ())
(setq r (read-from-string "(1 ())"))
r
;; => (1 NIL)
(setq r2 (cons 0 (read-from-string "(1 (2 ()))")))
r2
;; => (0 1 (2 NIL))
(setq r3 (cdr (read-from-string "(0 () (()))")))
r3
;; => (NIL (NIL))
(setq r4 (list r3 (read-from-string "(())")))
r4
;; => ((NIL (NIL)) (NIL))

;;; case long-lists-built-and-walked
(defun build (n / l i) (setq l nil) (setq i 0)
  (while (< i n) (setq l (cons i l)) (setq i (+ i 1))) l)
(setq big (build 5000))
(length big)
;; => 5000
(defun sum (l / s) (setq s 0) (while l (setq s (+ s (car l))) (setq l (cdr l))) s)
(sum big)
;; => 12497500
(length big)
;; => 5000
(car big)
;; => 4999
(setq big2 (cons -1 big))
(sum big2)
;; => 12497499
(length big)
;; => 5000

;;; case equality-of-shared-and-separate-lists
(setq e1 '(1 (2 3)))
(setq e2 e1)
(eql e1 e2)
;; => T
(eql e1 '(1 (2 3)))
;; => T
(eql e1 '(1 (2 4)))
;; => NIL
