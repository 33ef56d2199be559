; The Script-Fu the tests speak, in GIMP 2.10's procedures. gimp3.scm says the same in GIMP 3's.
(define (brisel-load path) (car (gimp-file-load RUN-NONINTERACTIVE path path)))
(define (brisel-first-image) (vector-ref (cadr (gimp-image-list)) 0))
(define (brisel-drawable image) (car (gimp-image-get-active-drawable image)))
(define (brisel-save image path)
  (file-png-save-defaults RUN-NONINTERACTIVE image (brisel-drawable image) path path))
; Brisel on drawables (a list) as the Filters menu starts it; GIMP 2.10 knows one active drawable.
(define (brisel-paint image drawables) (plug-in-brisel RUN-INTERACTIVE image (car drawables)))
(define (brisel-probe rgb rgba grey indexed folder)
  (plug-in-brisel-probe RUN-NONINTERACTIVE rgb rgba grey indexed folder))
